#include "VoiceReverb.h"
#include "Float4.h"
#include "VectorPath.h"

#include <cstring>

#if HALVORA_FLOAT4_SSE && (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#define HALVORA_REVERB_AVX 1
#else
#define HALVORA_REVERB_AVX 0
#endif

using halvora::Float4;

namespace
{
/** One chunk's comb work: each comb's line values for the chunk (read, then
    overwritten in place by what goes back into the line), the smoothed parameters,
    and where the summed outputs and the filter states go.
*/
template <int channels>
struct CombWork
{
    static constexpr int numCombs = 8;
    static constexpr auto numChannels = static_cast<size_t> (channels);

    const float *input, *keep, *damp, *feedback;
    float* rows[numChannels][numCombs];
    float* wet[numChannels];
    float* last[numChannels];
};

/** The framework's denormal guard, lane by lane: it is only there on Intel. */
inline Float4 undenormalise (Float4 x) noexcept
{
#if JUCE_INTEL
    const auto tiny = Float4::fill (0.1f);
    x = x + tiny;
    x = x - tiny;
#endif
    return x;
}

/** One step of four combs: their outputs in, the values to store back out. */
inline Float4 combStep (Float4 output, Float4& last, Float4 input, Float4 keep, Float4 damp, Float4 feedback) noexcept
{
    last = undenormalise ((output * keep) + (last * damp));
    return undenormalise (input + (last * feedback));
}

template <int k>
inline Float4 combStepAt (Float4 output, Float4& last, Float4 input, Float4 keep, Float4 damp, Float4 feedback) noexcept
{
    return combStep (output, last, input.broadcast<k>(), keep.broadcast<k>(), damp.broadcast<k>(), feedback.broadcast<k>());
}

/** The framework's comb loop itself, one comb and one sample at a time, for the last
    few samples of a chunk that do not fill a vector.
*/
template <int channels>
inline void combsOneByOne (const CombWork<channels>& w, int from, int numSamples) noexcept
{
    for (int i = from; i < numSamples; ++i)
    {
        const auto input = w.input[i], keep = w.keep[i], damp = w.damp[i];
        const auto feedbackLevel = w.feedback[i];

        for (int c = 0; c < channels; ++c)
        {
            auto sum = 0.0f;

            for (int j = 0; j < CombWork<channels>::numCombs; ++j)
            {
                auto& value = w.rows[c][j][i];
                auto& last = w.last[c][j];
                const auto output = value;

                last = (output * keep) + (last * damp);
                JUCE_UNDENORMALISE (last);
                auto temp = input + (last * feedbackLevel);
                JUCE_UNDENORMALISE (temp);
                value = temp;

                sum += output;
            }

            w.wet[c][i] = sum;
        }
    }
}

/** Four combs to a vector, four samples at a time. */
template <int channels>
void combsInFourLanes (const CombWork<channels>& w, int numSamples) noexcept
{
    Float4 lastLanes[static_cast<size_t> (channels)][2];

    for (int c = 0; c < channels; ++c)
    {
        lastLanes[c][0] = Float4::loadUnaligned (w.last[c]);
        lastLanes[c][1] = Float4::loadUnaligned (w.last[c] + 4);
    }

    int i = 0;

    for (; i + 4 <= numSamples; i += 4)
    {
        const auto input = Float4::load (w.input + i);
        const auto keep = Float4::load (w.keep + i);
        const auto damp = Float4::load (w.damp + i);
        const auto feedbackLevel = Float4::load (w.feedback + i);

        for (int c = 0; c < channels; ++c)
        {
            auto* const* rows = w.rows[c];

            // What the combs hand out, summed in comb order, four samples at a time.
            auto sum = Float4::fill (0.0f);

            for (int j = 0; j < 8; ++j)
                sum = sum + Float4::loadUnaligned (rows[j] + i);

            sum.store (w.wet[c] + i);

            // Four combs to a vector, one sample after another.
            for (int group = 0; group < 2; ++group)
            {
                auto* const* row = rows + 4 * group;
                auto s0 = Float4::loadUnaligned (row[0] + i), s1 = Float4::loadUnaligned (row[1] + i);
                auto s2 = Float4::loadUnaligned (row[2] + i), s3 = Float4::loadUnaligned (row[3] + i);
                Float4::transpose (s0, s1, s2, s3);

                auto& state = lastLanes[c][group];
                s0 = combStepAt<0> (s0, state, input, keep, damp, feedbackLevel);
                s1 = combStepAt<1> (s1, state, input, keep, damp, feedbackLevel);
                s2 = combStepAt<2> (s2, state, input, keep, damp, feedbackLevel);
                s3 = combStepAt<3> (s3, state, input, keep, damp, feedbackLevel);

                Float4::transpose (s0, s1, s2, s3);
                s0.storeUnaligned (row[0] + i);
                s1.storeUnaligned (row[1] + i);
                s2.storeUnaligned (row[2] + i);
                s3.storeUnaligned (row[3] + i);
            }
        }
    }

    for (int c = 0; c < channels; ++c)
    {
        lastLanes[c][0].storeUnaligned (w.last[c]);
        lastLanes[c][1].storeUnaligned (w.last[c] + 4);
    }

    combsOneByOne<channels> (w, i, numSamples);
}

/** One all-pass sample through the four stages, as the framework's loop does it. */
inline float allPassesOneByOne (float input, float* const* lines, int i) noexcept
{
    for (int k = 0; k < 4; ++k)
    {
        const auto stored = lines[k][i];
        auto temp = input + (stored * 0.5f);
        JUCE_UNDENORMALISE (temp);
        lines[k][i] = temp;
        input = stored - input;
    }

    return input;
}

/** The four all-pass stages over a stretch in which none of their lines wraps round:
    each sample goes through all four before the next is loaded.
*/
void allPassesInFourLanes (float* samples, float* const* lines, int length) noexcept
{
    const auto half = Float4::fill (0.5f);
    int i = 0;

    for (; i + 4 <= length; i += 4)
    {
        auto x = Float4::loadUnaligned (samples + i);

        for (int k = 0; k < 4; ++k)
        {
            const auto stored = Float4::loadUnaligned (lines[k] + i);
            undenormalise (x + (stored * half)).storeUnaligned (lines[k] + i);
            x = stored - x;
        }

        x.storeUnaligned (samples + i);
    }

    for (; i < length; ++i)
        samples[i] = allPassesOneByOne (samples[i], lines, i);
}

/** What goes into the combs: the channels summed (as the framework sums them), times
    the input gain.
*/
template <int channels>
inline void gatherInput (float* input, float* const* io, float gain, int numSamples) noexcept
{
    const auto* l = io[0];
    const auto* r = io[channels - 1];

    for (int i = 0; i < numSamples; ++i)
        input[i] = (channels == 2 ? l[i] + r[i] : l[i]) * gain;
}

/** The smoothed gains of a chunk, and the reverberated channels they mix. */
struct OutputMix
{
    const float *wetL, *wetR, *dry, *wet1, *wet2;
};

/** Wet and dry mixed into the channels, in the framework's order of operations. */
template <int channels>
inline void mixOutput (float* const* io, const OutputMix& m, int numSamples) noexcept
{
    if constexpr (channels == 2)
    {
        auto* l = io[0];
        auto* r = io[1];

        for (int i = 0; i < numSamples; ++i)
        {
            const auto dry = m.dry[i], wet1 = m.wet1[i], wet2 = m.wet2[i];
            l[i] = m.wetL[i] * wet1 + m.wetR[i] * wet2 + l[i] * dry;
            r[i] = m.wetR[i] * wet1 + m.wetL[i] * wet2 + r[i] * dry;
        }
    }
    else
    {
        auto* x = io[0];

        for (int i = 0; i < numSamples; ++i)
            x[i] = m.wetL[i] * m.wet1[i] + x[i] * m.dry[i];
    }
}

#if HALVORA_REVERB_AVX
// AVX without FMA: the target only widens the vectors, and the build's -ffp-contract=off
// keeps every product and sum rounded on its own, as in the framework's loop.
#define HALVORA_AVX_INLINE [[gnu::target ("avx"), gnu::always_inline]] inline

HALVORA_AVX_INLINE __m256 undenormalise (__m256 x) noexcept
{
#if JUCE_INTEL
    const auto tiny = _mm256_set1_ps (0.1f);
    x = _mm256_add_ps (x, tiny);
    x = _mm256_sub_ps (x, tiny);
#endif
    return x;
}

/** Within each 128-bit half, rows become columns. */
HALVORA_AVX_INLINE void transposeHalves (__m256& r0, __m256& r1, __m256& r2, __m256& r3) noexcept
{
    const auto t0 = _mm256_unpacklo_ps (r0, r1), t1 = _mm256_unpackhi_ps (r0, r1);
    const auto t2 = _mm256_unpacklo_ps (r2, r3), t3 = _mm256_unpackhi_ps (r2, r3);
    r0 = _mm256_shuffle_ps (t0, t2, _MM_SHUFFLE (1, 0, 1, 0));
    r1 = _mm256_shuffle_ps (t0, t2, _MM_SHUFFLE (3, 2, 3, 2));
    r2 = _mm256_shuffle_ps (t1, t3, _MM_SHUFFLE (1, 0, 1, 0));
    r3 = _mm256_shuffle_ps (t1, t3, _MM_SHUFFLE (3, 2, 3, 2));
}

/** Four samples of all eight combs of a channel, one vector (lane j is comb j) to a
    sample: combs j and j + 4 are loaded into the two halves of one vector, so that a
    transpose within the halves turns four rows of samples into four samples of combs.
*/
HALVORA_AVX_INLINE void combFourSamples (float* const* rows, __m256& last, const float* input, const float* keep,
                                         const float* damp, const float* feedback, int i) noexcept
{
    __m256 s[4];

    for (int k = 0; k < 4; ++k)
        s[k] = _mm256_insertf128_ps (_mm256_castps128_ps256 (_mm_loadu_ps (rows[k] + i)), _mm_loadu_ps (rows[k + 4] + i), 1);

    transposeHalves (s[0], s[1], s[2], s[3]);

    for (int m = 0; m < 4; ++m)
    {
        const auto keepLevel = _mm256_broadcast_ss (keep + i + m);
        const auto dampLevel = _mm256_broadcast_ss (damp + i + m);
        last = undenormalise (_mm256_add_ps (_mm256_mul_ps (s[m], keepLevel), _mm256_mul_ps (last, dampLevel)));

        const auto in = _mm256_broadcast_ss (input + i + m);
        const auto feedbackLevel = _mm256_broadcast_ss (feedback + i + m);
        s[m] = undenormalise (_mm256_add_ps (in, _mm256_mul_ps (last, feedbackLevel)));
    }

    transposeHalves (s[0], s[1], s[2], s[3]);

    for (int k = 0; k < 4; ++k)
    {
        _mm_storeu_ps (rows[k] + i, _mm256_castps256_ps128 (s[k]));
        _mm_storeu_ps (rows[k + 4] + i, _mm256_extractf128_ps (s[k], 1));
    }
}

/** All eight combs of a channel in one vector. The combs' summed outputs are worked out
    and stored eight samples at a time, so that the all-pass stages, which load eight at
    a time, find each in one store rather than two.
*/
template <int channels>
[[gnu::target ("avx")]] void combsInEightLanes (const CombWork<channels>& w, int numSamples) noexcept
{
    __m256 last[static_cast<size_t> (channels)];

    for (int c = 0; c < channels; ++c)
        last[c] = _mm256_loadu_ps (w.last[c]);

    int i = 0;

    for (; i + 8 <= numSamples; i += 8)
    {
        for (int c = 0; c < channels; ++c)
        {
            auto* const* rows = w.rows[c];
            auto sum = _mm256_setzero_ps();

            for (int j = 0; j < 8; ++j)
                sum = _mm256_add_ps (sum, _mm256_loadu_ps (rows[j] + i));

            _mm256_storeu_ps (w.wet[c] + i, sum);

            combFourSamples (rows, last[c], w.input, w.keep, w.damp, w.feedback, i);
            combFourSamples (rows, last[c], w.input, w.keep, w.damp, w.feedback, i + 4);
        }
    }

    for (; i + 4 <= numSamples; i += 4)
    {
        for (int c = 0; c < channels; ++c)
        {
            auto* const* rows = w.rows[c];
            auto sum = _mm_setzero_ps();

            for (int j = 0; j < 8; ++j)
                sum = _mm_add_ps (sum, _mm_loadu_ps (rows[j] + i));

            _mm_storeu_ps (w.wet[c] + i, sum);
            combFourSamples (rows, last[c], w.input, w.keep, w.damp, w.feedback, i);
        }
    }

    for (int c = 0; c < channels; ++c)
        _mm256_storeu_ps (w.last[c], last[c]);

    combsOneByOne<channels> (w, i, numSamples);
}

[[gnu::target ("avx")]] void allPassesInEightLanes (float* samples, float* const* lines, int length) noexcept
{
    const auto half = _mm256_set1_ps (0.5f);
    int i = 0;

    for (; i + 8 <= length; i += 8)
    {
        auto x = _mm256_loadu_ps (samples + i);

        for (int k = 0; k < 4; ++k)
        {
            const auto stored = _mm256_loadu_ps (lines[k] + i);
            _mm256_storeu_ps (lines[k] + i, undenormalise (_mm256_add_ps (x, _mm256_mul_ps (stored, half))));
            x = _mm256_sub_ps (stored, x);
        }

        _mm256_storeu_ps (samples + i, x);
    }

    for (; i < length; ++i)
        samples[i] = allPassesOneByOne (samples[i], lines, i);
}

#undef HALVORA_AVX_INLINE
#endif

void fillFrom (juce::SmoothedValue<float>& value, float* destination, int numSamples) noexcept
{
    // A settled value hands out its target for every sample.
    if (! value.isSmoothing())
    {
        std::fill_n (destination, numSamples, value.getTargetValue());
        return;
    }

    for (int i = 0; i < numSamples; ++i)
        destination[i] = value.getNextValue();
}
}

namespace halvora
{

//==============================================================================
VectorPath VoiceReverb::widestAvailable() noexcept
{
#if HALVORA_REVERB_AVX
    if (VectorPaths::hasAvx())
        return VectorPath::avx;
#endif

#if HALVORA_FLOAT4_SSE
    return VectorPath::sse2;
#else
    return VectorPath::scalar;
#endif
}

const char* VoiceReverb::describeLanes (VectorPath p) noexcept
{
    return runsEightLanes (p) ? "eight lanes" : "four lanes";
}

bool VoiceReverb::useVectorPath (VectorPath newPath) noexcept
{
#if HALVORA_REVERB_AVX
    if (! VectorPaths::isAvailable (newPath))
        return false;
#else
    if (runsEightLanes (newPath))
        return false;
#endif

    path = newPath;
    return true;
}

//==============================================================================
void VoiceReverb::DelayLine::setSize (int size)
{
    if (size != static_cast<int> (buffer.size()))
    {
        index = 0;
        buffer.assign (static_cast<size_t> (juce::jmax (1, size)), 0.0f);
    }

    clear();
}

void VoiceReverb::DelayLine::read (float* destination, int numSamples) const noexcept
{
    const auto first = juce::jmin (numSamples, size() - index);
    std::copy_n (buffer.data() + index, first, destination);
    std::copy_n (buffer.data(), numSamples - first, destination + first);
}

void VoiceReverb::DelayLine::overwrite (const float* source, int numSamples) noexcept
{
    const auto first = juce::jmin (numSamples, size() - index);
    std::copy_n (source, first, buffer.data() + index);
    std::copy_n (source + first, numSamples - first, buffer.data());
    advance (numSamples);
}

//==============================================================================
VoiceReverb::VoiceReverb()
{
    setParameters (juce::Reverb::Parameters());
    setSampleRate (44100.0);
}

void VoiceReverb::setParameters (const juce::Reverb::Parameters& newParams)
{
    const auto wetLevel = newParams.wetLevel * 3.0f;
    dryGain.setTargetValue (newParams.dryLevel * 2.0f);
    wetGain1.setTargetValue (0.5f * wetLevel * (1.0f + newParams.width));
    wetGain2.setTargetValue (0.5f * wetLevel * (1.0f - newParams.width));

    const auto frozen = newParams.freezeMode >= 0.5f;
    gain = frozen ? 0.0f : 0.015f;
    parameters = newParams;

    damping.setTargetValue (frozen ? 0.0f : parameters.damping * 0.4f);
    feedback.setTargetValue (frozen ? 1.0f : parameters.roomSize * 0.28f + 0.7f);
}

void VoiceReverb::setSampleRate (double sampleRate)
{
    static const short combTunings[] { 1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617 }; // at 44100 Hz
    static const short allPassTunings[] { 556, 441, 341, 225 };
    const int stereoSpread = 23;
    const auto intSampleRate = static_cast<int> (sampleRate);

    for (int i = 0; i < numCombs; ++i)
    {
        combLines[0][i].setSize ((intSampleRate * combTunings[i]) / 44100);
        combLines[1][i].setSize ((intSampleRate * (combTunings[i] + stereoSpread)) / 44100);
        combLast[0][i] = combLast[1][i] = 0.0f;
    }

    for (int i = 0; i < numAllPasses; ++i)
    {
        allPassLines[0][i].setSize ((intSampleRate * allPassTunings[i]) / 44100);
        allPassLines[1][i].setSize ((intSampleRate * (allPassTunings[i] + stereoSpread)) / 44100);
    }

    chunkLength = maxChunk;

    for (int c = 0; c < numChannels; ++c)
    {
        for (auto& line : combLines[c])
            chunkLength = juce::jmin (chunkLength, line.size());

        for (auto& line : allPassLines[c])
            chunkLength = juce::jmin (chunkLength, line.size());
    }

    const double smoothTime = 0.01;
    damping.reset (sampleRate, smoothTime);
    feedback.reset (sampleRate, smoothTime);
    dryGain.reset (sampleRate, smoothTime);
    wetGain1.reset (sampleRate, smoothTime);
    wetGain2.reset (sampleRate, smoothTime);
}

void VoiceReverb::reset()
{
    for (int c = 0; c < numChannels; ++c)
    {
        for (auto& line : combLines[c])
            line.clear();

        for (auto& line : allPassLines[c])
            line.clear();

        std::fill (std::begin (combLast[c]), std::end (combLast[c]), 0.0f);
    }
}

//==============================================================================
void VoiceReverb::fillSmoothedValues (int numSamples, bool stereo) noexcept
{
    // Mono leaves the second wet gain alone, as the framework's loop does.
    const juce::SmoothedValue<float>* values[] { &damping, &feedback, &dryGain, &wetGain1, &wetGain2 };
    const auto numValues = stereo ? 5 : 4;
    float targets[5] {};
    auto allSettled = true;

    for (int k = 0; k < numValues; ++k)
    {
        allSettled = allSettled && ! values[k]->isSmoothing();
        targets[k] = values[k]->getTargetValue();
    }

    if (! stereo)
        targets[4] = settledRows.targets[4];

    // Settled values that the rows already hold need not be written again.
    if (allSettled && numSamples <= settledRows.length && (settledRows.stereo || ! stereo)
        && std::memcmp (targets, settledRows.targets, sizeof (targets)) == 0)
        return;

    fillFrom (damping, chunk.damp, numSamples);
    fillFrom (feedback, chunk.feedback, numSamples);
    fillFrom (dryGain, chunk.dry, numSamples);
    fillFrom (wetGain1, chunk.wet1, numSamples);

    if (stereo)
        fillFrom (wetGain2, chunk.wet2, numSamples);

    for (int i = 0; i < numSamples; ++i)
        chunk.keep[i] = 1.0f - chunk.damp[i];

    settledRows.length = allSettled ? numSamples : 0;
    settledRows.stereo = stereo;
    std::copy (std::begin (targets), std::end (targets), settledRows.targets);
}

template <int channels>
void VoiceReverb::runCombs (int numSamples) noexcept
{
    static_assert (numCombs == CombWork<channels>::numCombs && numAllPasses == 4);
    CombWork<channels> work { chunk.input, chunk.keep, chunk.damp, chunk.feedback, {}, {}, {} };

    // A line that does not wrap within the chunk is worked on where it is; one that
    // does is copied out and back.
    for (int c = 0; c < channels; ++c)
    {
        for (int j = 0; j < numCombs; ++j)
        {
            auto& line = combLines[c][j];

            if (line.index + numSamples <= line.size())
            {
                work.rows[c][j] = line.buffer.data() + line.index;
            }
            else
            {
                line.read (chunk.combRows[c][j], numSamples);
                work.rows[c][j] = chunk.combRows[c][j];
            }
        }

        work.wet[c] = chunk.wet[c];
        work.last[c] = combLast[c];
    }

#if HALVORA_REVERB_AVX
    if (runsEightLanes (path))
        combsInEightLanes<channels> (work, numSamples);
    else
#endif
        combsInFourLanes<channels> (work, numSamples);

    for (int c = 0; c < channels; ++c)
    {
        for (int j = 0; j < numCombs; ++j)
        {
            auto& line = combLines[c][j];

            if (work.rows[c][j] == chunk.combRows[c][j])
                line.overwrite (chunk.combRows[c][j], numSamples);
            else
                line.advance (numSamples);
        }
    }
}

void VoiceReverb::runAllPasses (int channel, int numSamples) noexcept
{
    auto& lines = allPassLines[channel];

    for (int done = 0; done < numSamples;)
    {
        // A stretch in which none of the lines wraps round.
        auto length = numSamples - done;
        float* stretch[numAllPasses];

        for (int k = 0; k < numAllPasses; ++k)
        {
            length = juce::jmin (length, lines[k].size() - lines[k].index);
            stretch[k] = lines[k].buffer.data() + lines[k].index;
        }

#if HALVORA_REVERB_AVX
        if (runsEightLanes (path))
            allPassesInEightLanes (chunk.wet[channel] + done, stretch, length);
        else
#endif
            allPassesInFourLanes (chunk.wet[channel] + done, stretch, length);

        for (auto& line : lines)
            line.advance (length);

        done += length;
    }
}

//==============================================================================
template <int channels>
void VoiceReverb::process (float* const* io, int numSamples) noexcept
{
    for (int start = 0; start < numSamples; start += chunkLength)
    {
        const auto n = juce::jmin (chunkLength, numSamples - start);
        float* chunkIo[] { io[0] + start, io[channels - 1] + start };
        const OutputMix mix { chunk.wet[0], chunk.wet[channels - 1], chunk.dry, chunk.wet1, chunk.wet2 };

        gatherInput<channels> (chunk.input, chunkIo, gain, n);

        fillSmoothedValues (n, channels == 2);
        runCombs<channels> (n);

        for (int c = 0; c < channels; ++c)
            runAllPasses (c, n);

        mixOutput<channels> (chunkIo, mix, n);
    }
}

void VoiceReverb::processStereo (float* left, float* right, int numSamples) noexcept
{
    float* io[] { left, right };
    process<2> (io, numSamples);
}

void VoiceReverb::processMono (float* samples, int numSamples) noexcept
{
    float* io[] { samples, samples };
    process<1> (io, numSamples);
}

} // namespace halvora
