// Every product and every sum here is rounded on its own, as in the one-lag loop. The
// build passes -ffp-contract=off to the whole plug-in; this file asks again because it is
// where a baseline x86-64 build meets instructions (AVX-512) that could fuse the two.
#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

#include "DifferenceKernels.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{
/** A vector of doubles, one lag per lane, and the integer vector of the same size
    that comparisons give and masks are made of.
*/
template <int lanes>
struct Lanes;

template <>
struct Lanes<1>
{
    typedef double Values __attribute__ ((vector_size (8)));
    typedef std::int64_t Mask __attribute__ ((vector_size (8)));
};

template <>
struct Lanes<2>
{
    typedef double Values __attribute__ ((vector_size (16)));
    typedef std::int64_t Mask __attribute__ ((vector_size (16)));
};

template <>
struct Lanes<4>
{
    typedef double Values __attribute__ ((vector_size (32)));
    typedef std::int64_t Mask __attribute__ ((vector_size (32)));
};

template <>
struct Lanes<8>
{
    typedef double Values __attribute__ ((vector_size (64)));
    typedef std::int64_t Mask __attribute__ ((vector_size (64)));
};

/** Adds one term to each live lane: vectors below `active` - 1 have every lane live,
    vector `active` - 1 only the lanes below lanesWithATerm, and the vectors above it
    none (their lags have run out of terms, so they are left alone).

    A masked lane adds +0.0, and a sum of squares (never -0.0) plus +0.0 is itself.
*/
template <int lanes, int active>
[[gnu::always_inline]] inline void addRaggedTerms (const double* x, const double* shifted, int j, int lanesWithATerm,
                                                   typename Lanes<lanes>::Values* sums) noexcept
{
    using Values = typename Lanes<lanes>::Values;
    using Mask = typename Lanes<lanes>::Mask;

    const Values xj = x[j] - Values {};

    for (int v = 0; v < active - 1; ++v)
    {
        Values lagged;
        std::memcpy (&lagged, shifted + j + v * lanes, sizeof (Values));
        const Values d = xj - lagged;
        sums[v] = sums[v] + d * d;
    }

    Values laneNumbers {};

    for (int k = 0; k < lanes; ++k)
        laneNumbers[k] = static_cast<double> ((active - 1) * lanes + k);

    Values lagged;
    std::memcpy (&lagged, shifted + j + (active - 1) * lanes, sizeof (Values));
    const Mask live = laneNumbers < static_cast<double> (lanesWithATerm);
    const Values d = (Values) ((Mask) (xj - lagged) & live);
    sums[active - 1] = sums[active - 1] + d * d;
}

/** The ragged end of a group, from the first j where its last lag has no term left:
    while lanes × (active - 1) < end - j <= lanes × active, vector `active` - 1 is the
    highest with a live lane.
*/
template <int lanes, int active>
[[gnu::always_inline]] inline void addRaggedEnd (const double* x, const double* shifted, int j, int end,
                                                 typename Lanes<lanes>::Values* sums) noexcept
{
    for (; j < end - lanes * (active - 1); ++j)
        addRaggedTerms<lanes, active> (x, shifted, j, end - j, sums);

    if constexpr (active > 1)
        addRaggedEnd<lanes, active - 1> (x, shifted, j, end, sums);
}

/** Sums lanes × vectors consecutive lags from firstLag on, into out[0] onwards.

    Lane k of vector v holds lag firstLag + v × lanes + k, and adds its terms one by
    one in ascending j, exactly as the one-lag loop would: lanes never mix, nothing is
    reassociated and no product is fused into an addition. The vectors in flight only
    hide the adder's latency. Inlined into each instruction-set variant below, so the
    vector operations compile to that variant's instructions.
*/
template <int lanes, int vectors>
[[gnu::always_inline]] inline void sumLagGroup (const double* x, int numSamples, int firstLag, double* out) noexcept
{
    using Values = typename Lanes<lanes>::Values;
    constexpr int width = lanes * vectors;

    Values sums[static_cast<std::size_t> (vectors)] {};

    const auto* shifted = x + firstLag;
    const auto end = numSamples - firstLag;              // lane k has a term while j < end - k
    const auto common = std::max (0, end - (width - 1)); // every lane has one while j < common

    for (int j = 0; j < common; ++j)
    {
        const Values xj = x[j] - Values {}; // x[j] in every lane: x - (+0.0) is x, -0.0 included

        for (int v = 0; v < vectors; ++v)
        {
            Values lagged;
            std::memcpy (&lagged, shifted + j + v * lanes, sizeof (Values));
            const Values d = xj - lagged;
            sums[v] = sums[v] + d * d;
        }
    }

    addRaggedEnd<lanes, vectors> (x, shifted, common, end, sums);

    for (int v = 0; v < vectors; ++v)
        std::memcpy (out + v * lanes, &sums[v], sizeof (Values));
}

/** The last, partial group of lags, with the fewest vectors that cover it. */
template <int lanes, int vectors>
[[gnu::always_inline]] inline void sumLastLags (const double* x, int numSamples, int firstLag, int numLags, double* diff) noexcept
{
    if constexpr (vectors > 1)
    {
        if (numLags <= lanes * (vectors - 1))
        {
            sumLastLags<lanes, vectors - 1> (x, numSamples, firstLag, numLags, diff);
            return;
        }
    }

    // The lanes past maxLag are worked out and dropped.
    double sums[static_cast<std::size_t> (lanes * vectors)];
    sumLagGroup<lanes, vectors> (x, numSamples, firstLag, sums);
    std::copy (sums, sums + numLags, diff + firstLag);
}

template <int lanes, int vectors>
[[gnu::always_inline]] inline void sumAllLags (const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept
{
    static_assert (lanes * vectors - 1 <= halvora::DifferenceKernels::padding);
    constexpr int width = lanes * vectors;
    int t = minLag;

    for (; maxLag - t + 1 >= width; t += width)
        sumLagGroup<lanes, vectors> (x, numSamples, t, diff + t);

    if (t <= maxLag)
        sumLastLags<lanes, vectors> (x, numSamples, t, maxLag - t + 1, diff);
}

//==============================================================================
// Enough sums in flight to cover the adder's latency, few enough to stay in registers.
void computeScalar (const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept
{
    sumAllLags<1, 4> (x, numSamples, minLag, maxLag, diff);
}

#if HALVORA_X86_PATHS
void computeSse2 (const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept
{
    sumAllLags<2, 4> (x, numSamples, minLag, maxLag, diff);
}

// AVX2 and AVX-512 without FMA: the target switches on wider vectors only; the build's
// -ffp-contract=off keeps every product and sum separately rounded.
[[gnu::target ("avx2")]] void computeAvx2 (const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept
{
    sumAllLags<4, 4> (x, numSamples, minLag, maxLag, diff);
}

[[gnu::target ("avx512f")]] void computeAvx512 (const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept
{
    sumAllLags<8, 4> (x, numSamples, minLag, maxLag, diff);
}
#endif
}

namespace halvora
{

//==============================================================================
void DifferenceKernels::compute (VectorPath kernel, const double* x, int numSamples, int minLag, int maxLag, double* diff) noexcept
{
#if HALVORA_X86_PATHS
    switch (kernel)
    {
        case VectorPath::sse2:
        case VectorPath::avx: computeSse2 (x, numSamples, minLag, maxLag, diff); return; // no AVX-only kernel
        case VectorPath::avx2:
            if (VectorPaths::isAvailable (kernel))
            {
                computeAvx2 (x, numSamples, minLag, maxLag, diff);
                return;
            }
            break;
        case VectorPath::avx512:
            if (VectorPaths::isAvailable (kernel))
            {
                computeAvx512 (x, numSamples, minLag, maxLag, diff);
                return;
            }
            break;
        case VectorPath::scalar: break;
    }
#else
    static_cast<void> (kernel);
#endif

    computeScalar (x, numSamples, minLag, maxLag, diff);
}

} // namespace halvora
