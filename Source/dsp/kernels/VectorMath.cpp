// Every product and every sum here is rounded on its own: that is what makes all the
// paths agree with each other and tanh agree with the C library. The build passes
// -ffp-contract=off; this file asks again because its AVX-512 path could fuse them.
#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

/*  The tanh below follows the single-precision tanh and expm1 of the Sun mathematical
    library, operation for operation, in vector lanes. Its notice:

    Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.

    Developed at SunPro, a Sun Microsystems, Inc. business.
    Permission to use, copy, modify, and distribute this
    software is freely granted, provided that this notice
    is preserved.
*/

#include "VectorMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

using halvora::VectorPath;
namespace VectorPaths = halvora::VectorPaths;
namespace VectorMath = halvora::VectorMath;

// The lane functions below take and return wide vectors, but they are always inlined into
// the one path that instantiates them, so no call ever passes a vector across the ABI
// the compiler warns about.
#if defined(__GNUC__) && ! defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace
{
/** `lanes` floats side by side, with the integer vectors of the same width that
    comparisons give and bit patterns are read into.
*/
template <int lanes>
struct FloatLanes
{
    typedef float F __attribute__ ((vector_size (4 * lanes)));
    typedef std::int32_t I __attribute__ ((vector_size (4 * lanes)));
    typedef std::uint32_t U __attribute__ ((vector_size (4 * lanes)));
};

template <int lanes>
struct DoubleLanes
{
    typedef double D __attribute__ ((vector_size (8 * lanes)));
    typedef std::uint64_t U __attribute__ ((vector_size (8 * lanes)));
    typedef float F __attribute__ ((vector_size (4 * lanes)));
};

template <typename To, typename From>
[[gnu::always_inline]] inline To bitsOf (const From& v) noexcept
{
    static_assert (sizeof (To) == sizeof (From));
    To out;
    std::memcpy (&out, &v, sizeof (To));
    return out;
}

/** Each lane converted to another element type (float to int truncates, as a cast does). */
template <typename To, typename From>
[[gnu::always_inline]] inline To convertLanes (const From& v) noexcept
{
    return __builtin_convertvector(v, To);
}

//==============================================================================
// tanh, as the Sun library computes it in single precision.

constexpr float ln2Hi = 6.9313812256e-01f;  // 0x3f317180
constexpr float ln2Lo = 9.0580006145e-06f;  // 0x3717f7d1
constexpr float invLn2 = 1.4426950216e+00f; // 0x3fb8aa3b
constexpr float q1 = -3.3333335072e-02f;    // 0xbd088889
constexpr float q2 = 1.5873016091e-03f;     // 0x3ad00d01
constexpr float q3 = -7.9365076090e-05f;    // 0xb8a670cd
constexpr float q4 = 4.0082177293e-06f;     // 0x36867e54
constexpr float q5 = -2.0109921195e-07f;    // 0xb457edbb

/** expm1 (u) for the arguments tanh hands it: u in (-2, 0] or u >= 2. Each branch of
    the scalar algorithm is computed in every lane and the lane's own one is kept.
*/
template <int lanes>
[[gnu::always_inline]] inline typename FloatLanes<lanes>::F expm1ForTanh (const typename FloatLanes<lanes>::F& u) noexcept
{
    using F = typename FloatLanes<lanes>::F;
    using I = typename FloatLanes<lanes>::I;
    using U = typename FloatLanes<lanes>::U;

    const F zero {};
    const auto magnitude = bitsOf<U> (u) & 0x7fffffffu;
    const auto negative = u < zero;

    // Argument reduction: u = k ln2 + r, with r carried as r and a correction c.
    const F half = zero + 0.5f;
    const auto rounded = convertLanes<I> (invLn2 * u + (negative ? -half : half));
    I k = magnitude <= 0x3eb17218u ? I {} : (magnitude < 0x3f851592u ? I {} - 1 : rounded);
    k = k < -3 ? I {} - 3 : (k > 63 ? I {} + 63 : k); // lanes beyond the range are discarded

    const auto kf = convertLanes<F> (k);
    const F hi = u - kf * ln2Hi;
    const F lo = kf * ln2Lo;
    const F x = hi - lo;
    const F c = (hi - x) - lo;

    // The rational approximation on the reduced argument.
    const F hfx = 0.5f * x;
    const F hxs = x * hfx;
    const F r1 = 1.0f + hxs * (q1 + hxs * (q2 + hxs * (q3 + hxs * (q4 + hxs * q5))));
    const F t = 3.0f - r1 * hfx;
    const F e = hxs * ((r1 - t) / (6.0f - x * t));

    const F whenKIsZero = x - (x * e - hxs);

    F ek = (x * (e - c) - c);
    ek -= hxs;

    const F whenKIsMinusOne = 0.5f * (x - ek) - 0.5f;

    // Adding k to the exponent of a value near 1 multiplies it by 2^k.
    const auto exponentStep = bitsOf<U> (k) << 23;
    const auto twoToMinusK = bitsOf<F> (bitsOf<U> (127 - k) << 23);

    const F farK = bitsOf<F> (bitsOf<U> (1.0f - (ek - x)) + exponentStep) - 1.0f;
    const F smallK = bitsOf<F> (bitsOf<U> ((1.0f - twoToMinusK) - (ek - x)) + exponentStep);
    const F middleK = bitsOf<F> (bitsOf<U> ((x - (ek + twoToMinusK)) + 1.0f) + exponentStep);

    F result = (k <= -2 || k > 56) ? farK : (k < 23 ? smallK : middleK);
    result = k == -1 ? whenKIsMinusOne : result;
    result = k == 0 ? whenKIsZero : result;
    return magnitude < 0x33000000u ? u : result; // below 2^-25, expm1 (u) is u
}

template <int lanes>
[[gnu::always_inline]] inline typename FloatLanes<lanes>::F tanhLanes (const typename FloatLanes<lanes>::F& x) noexcept
{
    using F = typename FloatLanes<lanes>::F;
    using U = typename FloatLanes<lanes>::U;

    const auto bits = bitsOf<U> (x);
    const auto magnitude = bits & 0x7fffffffu;
    const auto a = bitsOf<F> (magnitude);
    const auto atLeastOne = magnitude >= 0x3f800000u;

    // From 1 on, 1 - 2 / (t + 2); below, -t / (t + 2): one division serves both.
    const F t = expm1ForTanh<lanes> (atLeastOne ? 2.0f * a : -2.0f * a);
    const F quotient = (atLeastOne ? F {} + 2.0f : -t) / (t + 2.0f);
    F z = atLeastOne ? 1.0f - quotient : quotient;

    z = magnitude >= 0x41b00000u ? F {} + 1.0f : z; // from 22 on, tanh is 1 in float
    z = (bits >> 31) != 0u ? -z : z;
    z = magnitude < 0x24000000u ? x : z; // below 2^-55 (and zero), tanh (x) is x
    return magnitude > 0x7f800000u ? x + x : z;
}

//==============================================================================
// sin: reduced by multiples of pi/2 and summed in double, then rounded once.

constexpr double twoOverPi = 6.36619772367581382433e-01;
constexpr double pio2Head = 1.57079632673412561417e+00; // pi/2 to 33 bits: k * head is exact
constexpr double pio2Tail = 6.07710050650619224932e-11; // pi/2 - head
constexpr double roundingShift = 0x1.8p52;              // adding it rounds to an integer

template <int lanes>
[[gnu::always_inline]] inline typename DoubleLanes<lanes>::D sinLanes (const typename DoubleLanes<lanes>::D& x) noexcept
{
    using D = typename DoubleLanes<lanes>::D;
    using U = typename DoubleLanes<lanes>::U;

    // The integer nearest x / (pi/2) lands in the low bits of the shifted sum.
    const D shifted = x * twoOverPi + roundingShift;
    const D k = shifted - roundingShift;
    const auto quadrant = bitsOf<U> (shifted) & 3u;

    const D r = (x - k * pio2Head) - k * pio2Tail;
    const D r2 = r * r;

    // Each series' highest terms are summed first into a local of their own (where the
    // nesting would evaluate them first anyway): the same sums and products, in the same order.
    const D sinHighTerms = 1.0 / 362880.0 + r2 * (-1.0 / 39916800.0 + r2 * (1.0 / 6227020800.0 + r2 * (-1.0 / 1307674368000.0)));
    const D sinR = r + (r * r2) * (-1.0 / 6.0 + r2 * (1.0 / 120.0 + r2 * (-1.0 / 5040.0 + r2 * sinHighTerms)));
    const D cosHighTerms = -1.0 / 3628800.0 + r2 * (1.0 / 479001600.0 + r2 * (-1.0 / 87178291200.0 + r2 * (1.0 / 20922789888000.0)));
    const D cosR = (1.0 - 0.5 * r2) + (r2 * r2) * (1.0 / 24.0 + r2 * (-1.0 / 720.0 + r2 * (1.0 / 40320.0 + r2 * cosHighTerms)));

    const D value = (quadrant & 1u) != 0u ? cosR : sinR;
    const D signedValue = (quadrant & 2u) != 0u ? -value : value;

    // The series turns -0 into +0 (-0 plus the +0 of its cubed term); a zero keeps its
    // sign, as sin (-0) is -0. Every other argument keeps the series' value.
    return x == 0.0 ? x : signedValue;
}

//==============================================================================
/** Runs a lane function over an array: whole vectors first, then the last few values
    in a vector padded with zeros, so every value goes through the same arithmetic.
*/
template <int lanes>
[[gnu::always_inline]] inline void tanhArray (const float* in, float* out, int numSamples) noexcept
{
    using F = typename FloatLanes<lanes>::F;
    int i = 0;

    for (; i + lanes <= numSamples; i += lanes)
    {
        F x;
        std::memcpy (&x, in + i, sizeof (F));
        const F y = tanhLanes<lanes> (x);
        std::memcpy (out + i, &y, sizeof (F));
    }

    if (i < numSamples)
    {
        float padded[static_cast<size_t> (lanes)] {};
        std::copy (in + i, in + numSamples, padded);
        F x;
        std::memcpy (&x, padded, sizeof (F));
        const F y = tanhLanes<lanes> (x);
        std::memcpy (padded, &y, sizeof (F));
        std::copy (padded, padded + (numSamples - i), out + i);
    }
}

template <int lanes>
[[gnu::always_inline]] inline void sinOfVector (const float* in, float* out) noexcept
{
    using D = typename DoubleLanes<lanes>::D;
    using F = typename DoubleLanes<lanes>::F;

    F x;
    std::memcpy (&x, in, sizeof (F));
    const F y = convertLanes<F> (sinLanes<lanes> (convertLanes<D> (x)));
    std::memcpy (out, &y, sizeof (F));
}

inline bool withinSinLimit (float x) noexcept { return x <= VectorMath::sinLimit && x >= -VectorMath::sinLimit; }

template <int lanes>
[[gnu::always_inline]] inline void sinArray (const float* in, float* out, int numSamples) noexcept
{
    // Far outside the vibrato's range (or not a number) the reduction is not exact
    // enough: the C library answers there. The vibrato's phases never go there, so
    // the check is one pass over the input, before it may be overwritten in place.
    // As bit patterns without the sign, every NaN lies above infinity, and infinity above
    // the limit: one integer maximum (which vectorises) answers for the whole array.
    std::uint32_t largestMagnitude = 0;

    for (int i = 0; i < numSamples; ++i)
    {
        std::uint32_t bits;
        std::memcpy (&bits, in + i, sizeof (bits));
        largestMagnitude = std::max (largestMagnitude, bits & 0x7fffffffu);
    }

    const auto allInside = largestMagnitude <= bitsOf<std::uint32_t> (VectorMath::sinLimit);

    int i = 0;

    for (; i + lanes <= numSamples; i += lanes)
    {
        if (allInside)
        {
            sinOfVector<lanes> (in + i, out + i);
            continue;
        }

        float x[static_cast<size_t> (lanes)];
        std::copy (in + i, in + i + lanes, x);
        sinOfVector<lanes> (x, out + i);

        for (int lane = 0; lane < lanes; ++lane)
            if (! withinSinLimit (x[lane]))
                out[i + lane] = std::sin (x[lane]);
    }

    if (i < numSamples)
    {
        float x[static_cast<size_t> (lanes)] {}, y[static_cast<size_t> (lanes)];
        std::copy (in + i, in + numSamples, x);
        sinOfVector<lanes> (x, y);

        for (int lane = 0; lane < numSamples - i; ++lane)
            out[i + lane] = withinSinLimit (x[lane]) ? y[lane] : std::sin (x[lane]);
    }
}

void tanhScalar (const float* in, float* out, int n) noexcept { tanhArray<1> (in, out, n); }
void sinScalar (const float* in, float* out, int n) noexcept { sinArray<1> (in, out, n); }

#if HALVORA_X86_PATHS
void tanhSse2 (const float* in, float* out, int n) noexcept
{
    tanhArray<4> (in, out, n);
}
void sinSse2 (const float* in, float* out, int n) noexcept { sinArray<2> (in, out, n); }

[[gnu::target ("avx2")]] void tanhAvx2 (const float* in, float* out, int n) noexcept { tanhArray<8> (in, out, n); }
[[gnu::target ("avx2")]] void sinAvx2 (const float* in, float* out, int n) noexcept { sinArray<4> (in, out, n); }

[[gnu::target ("avx512f")]] void tanhAvx512 (const float* in, float* out, int n) noexcept { tanhArray<16> (in, out, n); }
[[gnu::target ("avx512f")]] void sinAvx512 (const float* in, float* out, int n) noexcept { sinArray<8> (in, out, n); }
#endif

using ArrayFunction = void (*) (const float*, float*, int) noexcept;

struct PathFunctions
{
    ArrayFunction tanh, sin;
};

PathFunctions functionsFor (VectorPath path) noexcept
{
#if HALVORA_X86_PATHS
    switch (path)
    {
        case VectorPath::sse2:
        case VectorPath::avx: return { tanhSse2, sinSse2 }; // no AVX-only kernel
        case VectorPath::avx2:
            if (VectorPaths::isAvailable (path))
                return { tanhAvx2, sinAvx2 };
            break;
        case VectorPath::avx512:
            if (VectorPaths::isAvailable (path))
                return { tanhAvx512, sinAvx512 };
            break;
        case VectorPath::scalar: break;
    }
#else
    static_cast<void> (path);
#endif

    return { tanhScalar, sinScalar };
}
} // namespace

//==============================================================================
namespace
{
// tanh's chain of dependent steps runs through two divisions, whose latency grows with
// the vector's width: on the processors measured, 256-bit lanes beat 512-bit ones for it,
// while the sine (no division) gains from the widest.
const PathFunctions fastestTanh = functionsFor (VectorPaths::isAvailable (VectorPath::avx2) ? VectorPath::avx2 : VectorPaths::fastestAvailable());
const PathFunctions fastestSin = functionsFor (VectorPaths::fastestAvailable());
} // namespace

namespace halvora
{

void VectorMath::tanh (const float* in, float* out, int numSamples) noexcept
{
    fastestTanh.tanh (in, out, numSamples);
}

void VectorMath::sin (const float* in, float* out, int numSamples) noexcept
{
    fastestSin.sin (in, out, numSamples);
}

void VectorMath::tanh (const float* in, float* out, int numSamples, VectorPath path) noexcept
{
    functionsFor (path).tanh (in, out, numSamples);
}

void VectorMath::sin (const float* in, float* out, int numSamples, VectorPath path) noexcept
{
    functionsFor (path).sin (in, out, numSamples);
}

float VectorMath::tanh (float x) noexcept
{
    float y;
    tanhScalar (&x, &y, 1);
    return y;
}

float VectorMath::sin (float x) noexcept
{
    float y;
    sinScalar (&x, &y, 1);
    return y;
}

} // namespace halvora
