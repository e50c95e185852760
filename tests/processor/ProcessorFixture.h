#pragma once

#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

/** A prepared processor, mono or stereo, and ways to drive it block by block. */
class DrivenProcessor : public testing::Test
{
public:
    void prepare (int channels, double sampleRate = 44100.0, int maxBlock = 512)
    {
        const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        ASSERT_TRUE (processor.setBusesLayout (layout));
        processor.prepareToPlay (sampleRate, maxBlock);
    }

    void set (const char* id, float plain) { testutil::setPlain (processor, id, plain); }

    /** Writes a raw value past the parameter's own range, as a broken host might. */
    void setRaw (const char* id, float raw) { processor.apvts.getRawParameterValue (id)->store (raw); }

    void target (int mv) { processor.setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (mv)); }

    void process (juce::AudioBuffer<float>& buffer)
    {
        juce::MidiBuffer midi;
        processor.processBlock (buffer, midi);
    }

    /** Runs a whole signal through in blocks of blockSize; returns the output. */
    juce::AudioBuffer<float> run (const juce::AudioBuffer<float>& input, int blockSize)
    {
        juce::AudioBuffer<float> output (input);
        for (int start = 0; start < input.getNumSamples(); start += blockSize)
        {
            const auto n = juce::jmin (blockSize, input.getNumSamples() - start);
            juce::AudioBuffer<float> block (output.getArrayOfWritePointers(), output.getNumChannels(), start, n);
            process (block);
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

    HalvoraAudioProcessor processor;
    HalvoraProcessorInspector state { processor };
};
