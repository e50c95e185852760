#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

//==============================================================================
/** The framework reverb (juce::Reverb, a Freeverb design) with exactly its arithmetic:
    the same tunings, smoothed gains, filter order and denormal guards, so it gives the
    same bits. Only the delay-line positions wrap by comparison instead of by division,
    which was most of the reverb's cost.
*/
class VoiceReverb
{
public:
    VoiceReverb();

    void setParameters (const juce::Reverb::Parameters&);
    void setSampleRate (double sampleRate);
    void reset();

    void processStereo (float* left, float* right, int numSamples) noexcept;
    void processMono (float* samples, int numSamples) noexcept;

private:
    /** A delay line whose position carries on through clear(), as the framework's does. */
    struct DelayLine
    {
        std::vector<float> buffer;
        int index = 0;

        void setSize (int size);
        void clear() noexcept { std::fill (buffer.begin(), buffer.end(), 0.0f); }

        void advance() noexcept
        {
            if (++index == static_cast<int> (buffer.size()))
                index = 0;
        }
    };

    struct CombFilter
    {
        DelayLine line;
        float last = 0.0f;

        float process (float input, float damp, float feedbackLevel) noexcept
        {
            const auto output = line.buffer[static_cast<size_t> (line.index)];
            last = (output * (1.0f - damp)) + (last * damp);
            JUCE_UNDENORMALISE (last);
            auto temp = input + (last * feedbackLevel);
            JUCE_UNDENORMALISE (temp);
            line.buffer[static_cast<size_t> (line.index)] = temp;
            line.advance();
            return output;
        }
    };

    struct AllPassFilter
    {
        DelayLine line;

        float process (float input) noexcept
        {
            const auto bufferedValue = line.buffer[static_cast<size_t> (line.index)];
            auto temp = input + (bufferedValue * 0.5f);
            JUCE_UNDENORMALISE (temp);
            line.buffer[static_cast<size_t> (line.index)] = temp;
            line.advance();
            return bufferedValue - input;
        }
    };

    static constexpr int numCombs = 8, numAllPasses = 4, numChannels = 2;

    juce::Reverb::Parameters parameters;
    float gain = 0.0f;
    CombFilter comb[numChannels][numCombs];
    AllPassFilter allPass[numChannels][numAllPasses];
    juce::SmoothedValue<float> damping, feedback, dryGain, wetGain1, wetGain2;

    JUCE_DECLARE_NON_COPYABLE (VoiceReverb)
};
