#pragma once

#include "helpers/BufferShapes.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

/** A prepared processor, mono or stereo, and ways to drive it block by block. */
class DrivenProcessor : public testing::Test, public testutil::BufferShapes
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

    HalvoraAudioProcessor processor;
    HalvoraProcessorInspector state { processor };
};
