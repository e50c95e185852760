#include "BlockResampler.h"

#include <algorithm>
#include <cmath>

#if HALVORA_X86_PATHS
#include <immintrin.h>
#endif

using halvora::VectorPath;
namespace VectorPaths = halvora::VectorPaths;

namespace
{
/** The replay written out sample by sample: the reference every other path matches. */
void replayScalar (const float* copy, float* out, int numSamples, float ratio) noexcept
{
    const auto last = numSamples - 1;

    for (int m = 0; m < numSamples; ++m)
    {
        const auto pos = static_cast<float> (m) * ratio;

        if (pos >= static_cast<float> (last))
        {
            out[m] = copy[last];
        }
        else
        {
            const auto i0 = static_cast<int> (pos);
            const auto frac = pos - static_cast<float> (i0);
            const auto i1 = std::min (i0 + 1, last);
            out[m] = (copy[i1] - copy[i0]) * frac + copy[i0];
        }
    }
}

#if HALVORA_X86_PATHS
/** The first output sample whose position reaches the last sample. Positions never fall
    as m grows (a rounded product of a growing m and a positive ratio cannot), so every
    sample before it interpolates and every one from it on is the last sample; the
    division only guesses where, the comparisons decide.
*/
int interpolatedLength (int numSamples, float ratio) noexcept
{
    const auto last = static_cast<float> (numSamples - 1);
    const auto reaches = [ratio, last] (int m) { return static_cast<float> (m) * ratio >= last; };
    const auto guess = std::ceil (static_cast<double> (last) / static_cast<double> (ratio));
    auto m = static_cast<int> (std::clamp (guess, 0.0, static_cast<double> (numSamples)));

    while (m > 0 && reaches (m - 1))
        --m;

    while (m < numSamples && ! reaches (m))
        ++m;

    return m;
}

/** Samples [from, to) of the interpolated part, one at a time. Below the last position
    i0 + 1 never passes the last sample, so the clamp of i1 has nothing to do here.
*/
void interpolateFrom (const float* copy, float* out, int from, int to, float ratio) noexcept
{
    for (int m = from; m < to; ++m)
    {
        const auto pos = static_cast<float> (m) * ratio;
        const auto i0 = static_cast<int> (pos);
        const auto frac = pos - static_cast<float> (i0);
        out[m] = (copy[i0 + 1] - copy[i0]) * frac + copy[i0];
    }
}

// SSE2 has no gather: the positions and fractions run four at a time, the neighbours are
// fetched one by one.
void interpolateSse2 (const float* copy, float* out, int count, float ratio) noexcept
{
    const auto r = _mm_set1_ps (ratio);
    auto m = _mm_setr_epi32 (0, 1, 2, 3);
    int i = 0;

    for (; i + 4 <= count; i += 4)
    {
        const auto pos = _mm_mul_ps (_mm_cvtepi32_ps (m), r);
        const auto i0 = _mm_cvttps_epi32 (pos);
        const auto frac = _mm_sub_ps (pos, _mm_cvtepi32_ps (i0));
        alignas (16) int index[4];
        _mm_store_si128 (reinterpret_cast<__m128i*> (index), i0);
        const auto a = _mm_setr_ps (copy[index[0]], copy[index[1]], copy[index[2]], copy[index[3]]);
        const auto b = _mm_setr_ps (copy[index[0] + 1], copy[index[1] + 1], copy[index[2] + 1], copy[index[3] + 1]);
        _mm_storeu_ps (out + i, _mm_add_ps (_mm_mul_ps (_mm_sub_ps (b, a), frac), a));
        m = _mm_add_epi32 (m, _mm_set1_epi32 (4));
    }

    interpolateFrom (copy, out, i, count, ratio);
}

[[gnu::target ("avx2")]] void interpolateAvx2 (const float* copy, float* out, int count, float ratio) noexcept
{
    const auto r = _mm256_set1_ps (ratio);
    auto m = _mm256_setr_epi32 (0, 1, 2, 3, 4, 5, 6, 7);
    int i = 0;

    for (; i + 8 <= count; i += 8)
    {
        const auto pos = _mm256_mul_ps (_mm256_cvtepi32_ps (m), r);
        const auto i0 = _mm256_cvttps_epi32 (pos);
        const auto frac = _mm256_sub_ps (pos, _mm256_cvtepi32_ps (i0));
        const auto a = _mm256_i32gather_ps (copy, i0, 4);
        const auto b = _mm256_i32gather_ps (copy + 1, i0, 4);
        _mm256_storeu_ps (out + i, _mm256_add_ps (_mm256_mul_ps (_mm256_sub_ps (b, a), frac), a));
        m = _mm256_add_epi32 (m, _mm256_set1_epi32 (8));
    }

    interpolateFrom (copy, out, i, count, ratio);
}

[[gnu::target ("avx512f")]] void interpolateAvx512 (const float* copy, float* out, int count, float ratio) noexcept
{
    const auto r = _mm512_set1_ps (ratio);
    const __mmask16 allLanes = 0xffff;
    auto m = _mm512_setr_epi32 (0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    int i = 0;

    for (; i + 16 <= count; i += 16)
    {
        // The masked forms with every lane on: the same instructions, and no undefined
        // pass-through operand for the compiler to warn about.
        const auto pos = _mm512_mul_ps (_mm512_maskz_cvtepi32_ps (allLanes, m), r);
        const auto i0 = _mm512_maskz_cvttps_epi32 (allLanes, pos);
        const auto frac = _mm512_sub_ps (pos, _mm512_maskz_cvtepi32_ps (allLanes, i0));
        const auto a = _mm512_mask_i32gather_ps (_mm512_setzero_ps(), allLanes, i0, copy, 4);
        const auto b = _mm512_mask_i32gather_ps (_mm512_setzero_ps(), allLanes, i0, copy + 1, 4);
        _mm512_storeu_ps (out + i, _mm512_add_ps (_mm512_mul_ps (_mm512_sub_ps (b, a), frac), a));
        m = _mm512_add_epi32 (m, _mm512_set1_epi32 (16));
    }

    interpolateFrom (copy, out, i, count, ratio);
}

using Interpolate = void (*) (const float*, float*, int, float) noexcept;

/** The interpolated part on a vector path, then the end filled with the last sample. */
template <Interpolate interpolate>
void replayVector (const float* copy, float* out, int numSamples, float ratio) noexcept
{
    if (numSamples < 1)
        return;

    const auto count = interpolatedLength (numSamples, ratio);
    interpolate (copy, out, count, ratio);
    std::fill (out + count, out + numSamples, copy[numSamples - 1]);
}
#endif

using Replay = void (*) (const float*, float*, int, float) noexcept;

Replay replayFor (VectorPath path) noexcept
{
#if HALVORA_X86_PATHS
    switch (path)
    {
        case VectorPath::sse2:
        case VectorPath::avx: return replayVector<interpolateSse2>; // no AVX-only kernel
        case VectorPath::avx2:
            if (VectorPaths::isAvailable (path))
                return replayVector<interpolateAvx2>;
            break;
        case VectorPath::avx512:
            if (VectorPaths::isAvailable (path))
                return replayVector<interpolateAvx512>;
            break;
        case VectorPath::scalar: break;
    }
#else
    static_cast<void> (path);
#endif

    return replayScalar;
}

const Replay fastestReplay = replayFor (VectorPaths::fastestAvailable());
} // namespace

namespace halvora
{

void BlockResampler::replay (const float* copy, float* out, int numSamples, float ratio) noexcept
{
    fastestReplay (copy, out, numSamples, ratio);
}

void BlockResampler::replay (const float* copy, float* out, int numSamples, float ratio, VectorPath path) noexcept
{
    replayFor (path) (copy, out, numSamples, ratio);
}

int BlockResampler::samplesRead (int numSamples, float ratio) noexcept
{
    if (numSamples < 1)
        return 0;

    const auto last = numSamples - 1;
    const auto furthest = static_cast<float> (last) * ratio;

    if (furthest >= static_cast<float> (last))
        return numSamples;

    // The furthest position interpolates between its sample and the next.
    return std::min (static_cast<int> (furthest) + 2, numSamples);
}

} // namespace halvora
