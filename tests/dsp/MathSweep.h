#pragma once

#include "dsp/kernels/VectorMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

//==============================================================================
/** Runs one of the plug-in's vector functions over a range of float bit patterns and
    checks it against the C library's function of the same name, as VectorMath.h promises,
    and every vector path against the scalar one, bit for bit.
*/
namespace mathsweep
{
using namespace halvora;

enum class Function
{
    tanh,
    sin
};

inline const char* name (Function f) { return f == Function::tanh ? "tanh" : "sin"; }

inline float bitsToFloat (std::uint32_t bits)
{
    float f;
    std::memcpy (&f, &bits, sizeof (f));
    return f;
}

inline std::uint32_t floatToBits (float f)
{
    std::uint32_t bits;
    std::memcpy (&bits, &f, sizeof (bits));
    return bits;
}

/** Distance in units in the last place: the steps from a to b along the floats in order,
    -0 and +0 counting as neighbours. Between NaNs 0 when their bits are the same, a huge
    number otherwise (and between a NaN and a number).
*/
inline std::int64_t ulpDistance (float a, float b)
{
    if (std::isnan (a) || std::isnan (b))
        return floatToBits (a) == floatToBits (b) ? 0 : INT64_MAX;

    const auto ordered = [] (float f) {
        const auto magnitude = static_cast<std::int64_t> (floatToBits (f) & 0x7fffffffu);
        return std::signbit (f) ? -1 - magnitude : magnitude;
    };

    const auto d = ordered (a) - ordered (b);
    return d < 0 ? -d : d;
}

inline float libraryValue (Function f, float x) { return f == Function::tanh ? std::tanh (x) : std::sin (x); }

/** Where VectorMath.h promises the C library's own bits: tanh everywhere, sin beyond the
    limit (infinities and NaNs included). Elsewhere sin promises one ulp.
*/
inline bool promisesLibraryBits (Function f, float x)
{
    return f == Function::tanh || ! (std::fabs (x) <= VectorMath::sinLimit);
}

/** A NaN with its quiet bit set: sign and payload as they were. */
inline std::uint32_t quietedBits (float nan) { return floatToBits (nan) | 0x00400000u; }

/** True when `value`, the plug-in's f (x), keeps what VectorMath.h promises against the C
    library: its bits where it promises them, else within one ulp; a zero on either side
    only as the very same zero (the sign is the sound's polarity); and a NaN argument
    always gives that NaN back quieted, sign and payload kept.
*/
inline bool keepsPromise (Function f, float x, float value)
{
    const auto library = libraryValue (f, x);

    if (std::isnan (x) && floatToBits (value) != quietedBits (x))
        return false;

    if (promisesLibraryBits (f, x) || value == 0.0f || library == 0.0f)
        return floatToBits (value) == floatToBits (library);

    return ulpDistance (value, library) <= 1;
}

inline void vectorValues (Function f, const float* in, float* out, int n, VectorPath path)
{
    if (f == Function::tanh)
        VectorMath::tanh (in, out, n, path);
    else
        VectorMath::sin (in, out, n, path);
}

struct Result
{
    std::uint64_t checked = 0, differing = 0; // differing: by any amount from the C library
    std::int64_t worstUlps = 0;
    float worstArgument = 0.0f;
    std::uint64_t broken = 0; // values that break the promise (see keepsPromise)
    float firstBroken = 0.0f;
    std::uint64_t pathMismatches = 0; // values where a vector path's bits differ from the scalar path's
    float firstPathMismatch = 0.0f;

    void add (const Result& other)
    {
        if (other.worstUlps > worstUlps || checked == 0)
        {
            worstUlps = other.worstUlps;
            worstArgument = other.worstArgument;
        }

        if (broken == 0)
            firstBroken = other.firstBroken;

        if (pathMismatches == 0)
            firstPathMismatch = other.firstPathMismatch;

        checked += other.checked;
        differing += other.differing;
        broken += other.broken;
        pathMismatches += other.pathMismatches;
    }
};

/** Every stride-th bit pattern from first to last (inclusive), through every available
    path. Bit patterns are walked as unsigned integers, so a range may cross from the
    positive floats into the negative ones.
*/
inline Result sweep (Function f, std::uint32_t first, std::uint32_t last, std::uint32_t stride)
{
    constexpr int batch = 4096;
    std::vector<float> in (batch), scalarOut (batch), pathOut (batch);
    Result result;

    for (std::uint64_t start = first; start <= last;)
    {
        int n = 0;

        for (; n < batch && start <= last; ++n, start += stride)
            in[static_cast<size_t> (n)] = bitsToFloat (static_cast<std::uint32_t> (start));

        vectorValues (f, in.data(), scalarOut.data(), n, VectorPath::scalar);

        for (int i = 0; i < n; ++i)
        {
            const auto x = in[static_cast<size_t> (i)];
            const auto value = scalarOut[static_cast<size_t> (i)];
            const auto d = ulpDistance (value, libraryValue (f, x));
            ++result.checked;
            result.differing += d != 0 ? 1u : 0u;

            if (! keepsPromise (f, x, value) && result.broken++ == 0)
                result.firstBroken = x;

            if (d > result.worstUlps)
            {
                result.worstUlps = d;
                result.worstArgument = x;
            }
        }

        for (auto path : VectorPaths::all)
        {
            if (path == VectorPath::scalar || ! VectorPaths::isAvailable (path))
                continue;

            vectorValues (f, in.data(), pathOut.data(), n, path);

            for (int i = 0; i < n; ++i)
            {
                const auto same = floatToBits (scalarOut[static_cast<size_t> (i)]) == floatToBits (pathOut[static_cast<size_t> (i)]);

                if (! same && result.pathMismatches++ == 0)
                    result.firstPathMismatch = in[static_cast<size_t> (i)];
            }
        }
    }

    return result;
}

/** The bit patterns of the floats from 0 to 2 pi (as a float): the phases the vibrato's
    sine is asked for.
*/
inline constexpr std::uint32_t zeroBits = 0x00000000u;
inline constexpr std::uint32_t twoPiBits = 0x40c90fdbu; // 6.2831855f
} // namespace mathsweep
