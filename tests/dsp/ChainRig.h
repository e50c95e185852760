#pragma once

#include "HalvoraVocabulary.h"
#include "dsp/VoiceChain.h"
#include "helpers/BufferShapes.h"
#include "helpers/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

/** A voice chain and the parameter snapshot its blocks are run with, as the processor
    would hand them over, and ways to drive it block by block.
*/
class ChainRig : public testing::Test, public testutil::BufferShapes
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
