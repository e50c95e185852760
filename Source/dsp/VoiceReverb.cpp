#include "VoiceReverb.h"
#include "Float4.h"

namespace
{
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
    fillFrom (damping, chunk.damp, numSamples);
    fillFrom (feedback, chunk.feedback, numSamples);
    fillFrom (dryGain, chunk.dry, numSamples);
    fillFrom (wetGain1, chunk.wet1, numSamples);

    if (stereo)
        fillFrom (wetGain2, chunk.wet2, numSamples);

    for (int i = 0; i < numSamples; ++i)
        chunk.keep[i] = 1.0f - chunk.damp[i];
}

template <int channels>
void VoiceReverb::runCombs (int numSamples) noexcept
{
    for (int c = 0; c < channels; ++c)
        for (int j = 0; j < numCombs; ++j)
            combLines[c][j].read (chunk.combRows[c][j], numSamples);

    Float4 lastLanes[static_cast<size_t> (channels)][2];

    for (int c = 0; c < channels; ++c)
    {
        lastLanes[c][0] = Float4::load (combLast[c]);
        lastLanes[c][1] = Float4::load (combLast[c] + 4);
    }

    int i = 0;

    for (; i + 4 <= numSamples; i += 4)
    {
        const auto input = Float4::load (chunk.input + i);
        const auto keep = Float4::load (chunk.keep + i);
        const auto damp = Float4::load (chunk.damp + i);
        const auto feedbackLevel = Float4::load (chunk.feedback + i);

        for (int c = 0; c < channels; ++c)
        {
            auto& rows = chunk.combRows[c];

            // What the combs hand out, summed in comb order, four samples at a time.
            auto sum = Float4::fill (0.0f);

            for (int j = 0; j < numCombs; ++j)
                sum = sum + Float4::load (rows[j] + i);

            sum.store (chunk.wet[c] + i);

            // Four combs to a vector, one sample after another.
            for (int group = 0; group < 2; ++group)
            {
                auto* row = rows + 4 * group;
                auto s0 = Float4::load (row[0] + i), s1 = Float4::load (row[1] + i);
                auto s2 = Float4::load (row[2] + i), s3 = Float4::load (row[3] + i);
                Float4::transpose (s0, s1, s2, s3);

                auto& state = lastLanes[c][group];
                s0 = combStepAt<0> (s0, state, input, keep, damp, feedbackLevel);
                s1 = combStepAt<1> (s1, state, input, keep, damp, feedbackLevel);
                s2 = combStepAt<2> (s2, state, input, keep, damp, feedbackLevel);
                s3 = combStepAt<3> (s3, state, input, keep, damp, feedbackLevel);

                Float4::transpose (s0, s1, s2, s3);
                s0.store (row[0] + i);
                s1.store (row[1] + i);
                s2.store (row[2] + i);
                s3.store (row[3] + i);
            }
        }
    }

    for (int c = 0; c < channels; ++c)
    {
        lastLanes[c][0].store (combLast[c]);
        lastLanes[c][1].store (combLast[c] + 4);
    }

    // The last few samples of the chunk, one comb at a time.
    for (; i < numSamples; ++i)
    {
        const auto input = chunk.input[i], keep = chunk.keep[i], damp = chunk.damp[i];
        const auto feedbackLevel = chunk.feedback[i];

        for (int c = 0; c < channels; ++c)
        {
            auto sum = 0.0f;

            for (int j = 0; j < numCombs; ++j)
            {
                auto& value = chunk.combRows[c][j][i];
                auto& last = combLast[c][j];
                const auto output = value;

                last = (output * keep) + (last * damp);
                JUCE_UNDENORMALISE (last);
                auto temp = input + (last * feedbackLevel);
                JUCE_UNDENORMALISE (temp);
                value = temp;

                sum += output;
            }

            chunk.wet[c][i] = sum;
        }
    }

    for (int c = 0; c < channels; ++c)
        for (int j = 0; j < numCombs; ++j)
            combLines[c][j].overwrite (chunk.combRows[c][j], numSamples);
}

void VoiceReverb::runAllPasses (int channel, int numSamples) noexcept
{
    const auto half = Float4::fill (0.5f);

    for (auto& line : allPassLines[channel])
    {
        for (int done = 0; done < numSamples;)
        {
            // One stretch of the line without wrapping round.
            const auto length = juce::jmin (numSamples - done, line.size() - line.index);
            auto* buffered = line.buffer.data() + line.index;
            auto* samples = chunk.wet[channel] + done;
            int i = 0;

            for (; i + 4 <= length; i += 4)
            {
                const auto stored = Float4::loadUnaligned (buffered + i);
                const auto input = Float4::loadUnaligned (samples + i);
                undenormalise (input + (stored * half)).storeUnaligned (buffered + i);
                (stored - input).storeUnaligned (samples + i);
            }

            for (; i < length; ++i)
            {
                const auto stored = buffered[i];
                const auto input = samples[i];
                auto temp = input + (stored * 0.5f);
                JUCE_UNDENORMALISE (temp);
                buffered[i] = temp;
                samples[i] = stored - input;
            }

            line.advance (length);
            done += length;
        }
    }
}

//==============================================================================
void VoiceReverb::processStereo (float* left, float* right, int numSamples) noexcept
{
    for (int start = 0; start < numSamples; start += chunkLength)
    {
        const auto n = juce::jmin (chunkLength, numSamples - start);
        auto* l = left + start;
        auto* r = right + start;

        for (int i = 0; i < n; ++i)
            chunk.input[i] = (l[i] + r[i]) * gain;

        fillSmoothedValues (n, true);
        runCombs<2> (n);
        runAllPasses (0, n);
        runAllPasses (1, n);

        const auto* outL = chunk.wet[0];
        const auto* outR = chunk.wet[1];

        for (int i = 0; i < n; ++i)
        {
            const auto dry = chunk.dry[i], wet1 = chunk.wet1[i], wet2 = chunk.wet2[i];
            l[i] = outL[i] * wet1 + outR[i] * wet2 + l[i] * dry;
            r[i] = outR[i] * wet1 + outL[i] * wet2 + r[i] * dry;
        }
    }
}

void VoiceReverb::processMono (float* samples, int numSamples) noexcept
{
    for (int start = 0; start < numSamples; start += chunkLength)
    {
        const auto n = juce::jmin (chunkLength, numSamples - start);
        auto* x = samples + start;

        for (int i = 0; i < n; ++i)
            chunk.input[i] = x[i] * gain;

        fillSmoothedValues (n, false);
        runCombs<1> (n);
        runAllPasses (0, n);

        const auto* output = chunk.wet[0];

        for (int i = 0; i < n; ++i)
            x[i] = output[i] * chunk.wet1[i] + x[i] * chunk.dry[i];
    }
}
