#pragma once

#include "HalvoraVocabulary.h"
#include "dsp/VoiceChain.h"
#include "helpers/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

/** A voice chain and the parameter snapshot its blocks are run with, as the processor
    would hand them over, and ways to drive it block by block.
*/
class ChainRig : public testing::Test
{
public:
    void prepare (int channels, double sampleRate = 44100.0, int maxBlock = 512)
    {
        chain.prepare ({ sampleRate, maxBlock, channels });
    }

    /** The settings the next block runs with; correctionOn stands for a lit key or scale button. */
    halvora::VoiceChainSettings settings() const { return halvora::VoiceChainSettings::from (snapshot, correctionOn); }

    void process (juce::AudioBuffer<float>& buffer) { chain.process (buffer, settings()); }

    /** Runs a whole signal through in blocks of blockSize; returns the output. */
    juce::AudioBuffer<float> run (const juce::AudioBuffer<float>& input, int blockSize) { return run (chain, input, blockSize, settings()); }

    static juce::AudioBuffer<float> run (halvora::VoiceChain& c, const juce::AudioBuffer<float>& input, int blockSize,
                                         const halvora::VoiceChainSettings& s)
    {
        juce::AudioBuffer<float> output (input);
        for (int start = 0; start < input.getNumSamples(); start += blockSize)
        {
            const auto n = juce::jmin (blockSize, input.getNumSamples() - start);
            juce::AudioBuffer<float> block (output.getArrayOfWritePointers(), output.getNumChannels(), start, n);
            c.process (block, s);
        }
        return output;
    }

    static juce::AudioBuffer<float> constant (int channels, int numSamples, float value)
    {
        juce::AudioBuffer<float> b (channels, numSamples);
        for (int c = 0; c < channels; ++c)
            juce::FloatVectorOperations::fill (b.getWritePointer (c), value, numSamples);
        return b;
    }

    static juce::AudioBuffer<float> sine (float hz, int numSamples, double sampleRate = 44100.0, float amplitude = 0.5f, int channels = 1)
    {
        juce::AudioBuffer<float> b (channels, numSamples);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < numSamples; ++i)
                b.setSample (c, i, amplitude * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * hz * i / sampleRate)));
        return b;
    }

    static bool identical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
            return false;
        for (int c = 0; c < a.getNumChannels(); ++c)
            if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) != 0)
                return false;
        return true;
    }

    static float maxDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
    {
        float worst = 0.0f;
        for (int c = 0; c < a.getNumChannels(); ++c)
            for (int i = 0; i < a.getNumSamples(); ++i)
                worst = juce::jmax (worst, std::abs (a.getSample (c, i) - b.getSample (c, i)));
        return worst;
    }

    halvora::VoiceChain chain;
    halvora::ParameterSnapshot snapshot = parameterDefaults();
    bool correctionOn = false;

    /** The snapshot of a processor whose parameters are all at their defaults. */
    static halvora::ParameterSnapshot parameterDefaults()
    {
        halvora::ParameterSnapshot s;
        s.morvel = halvora::findContinuous (halvora::ParamID::morvel).defaultValue;
        return s;
    }
};
