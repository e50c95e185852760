#include "VoiceReverb.h"

void VoiceReverb::DelayLine::setSize (int size)
{
    if (size != static_cast<int> (buffer.size()))
    {
        index = 0;
        buffer.assign (static_cast<size_t> (juce::jmax (1, size)), 0.0f);
    }

    clear();
}

//==============================================================================
VoiceReverb::VoiceReverb()
{
    setParameters (juce::Reverb::Parameters());
    setSampleRate (44100.0);
}

void VoiceReverb::setParameters (const juce::Reverb::Parameters& newParams)
{
    const auto wet = newParams.wetLevel * 3.0f;
    dryGain.setTargetValue (newParams.dryLevel * 2.0f);
    wetGain1.setTargetValue (0.5f * wet * (1.0f + newParams.width));
    wetGain2.setTargetValue (0.5f * wet * (1.0f - newParams.width));

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
        comb[0][i].line.setSize ((intSampleRate * combTunings[i]) / 44100);
        comb[1][i].line.setSize ((intSampleRate * (combTunings[i] + stereoSpread)) / 44100);
        comb[0][i].last = comb[1][i].last = 0.0f;
    }

    for (int i = 0; i < numAllPasses; ++i)
    {
        allPass[0][i].line.setSize ((intSampleRate * allPassTunings[i]) / 44100);
        allPass[1][i].line.setSize ((intSampleRate * (allPassTunings[i] + stereoSpread)) / 44100);
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
        for (auto& filter : comb[c])
        {
            filter.last = 0.0f;
            filter.line.clear();
        }

        for (auto& filter : allPass[c])
            filter.line.clear();
    }
}

void VoiceReverb::processStereo (float* left, float* right, int numSamples) noexcept
{
    for (int i = 0; i < numSamples; ++i)
    {
        const auto input = (left[i] + right[i]) * gain;
        float outL = 0, outR = 0;

        const auto damp = damping.getNextValue();
        const auto feedbackLevel = feedback.getNextValue();

        for (int j = 0; j < numCombs; ++j)
        {
            outL += comb[0][j].process (input, damp, feedbackLevel);
            outR += comb[1][j].process (input, damp, feedbackLevel);
        }

        for (int j = 0; j < numAllPasses; ++j)
        {
            outL = allPass[0][j].process (outL);
            outR = allPass[1][j].process (outR);
        }

        const auto dry = dryGain.getNextValue();
        const auto wet1 = wetGain1.getNextValue();
        const auto wet2 = wetGain2.getNextValue();

        left[i] = outL * wet1 + outR * wet2 + left[i] * dry;
        right[i] = outR * wet1 + outL * wet2 + right[i] * dry;
    }
}

void VoiceReverb::processMono (float* samples, int numSamples) noexcept
{
    for (int i = 0; i < numSamples; ++i)
    {
        const auto input = samples[i] * gain;
        float output = 0;

        const auto damp = damping.getNextValue();
        const auto feedbackLevel = feedback.getNextValue();

        for (int j = 0; j < numCombs; ++j)
            output += comb[0][j].process (input, damp, feedbackLevel);

        for (int j = 0; j < numAllPasses; ++j)
            output = allPass[0][j].process (output);

        const auto dry = dryGain.getNextValue();
        const auto wet1 = wetGain1.getNextValue();
        samples[i] = output * wet1 + samples[i] * dry;
    }
}
