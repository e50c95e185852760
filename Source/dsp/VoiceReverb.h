#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

//==============================================================================
/** The framework reverb (juce::Reverb, a Freeverb design) with exactly its arithmetic:
    the same tunings, smoothed gains, filter order and denormal guards, so it gives the
    same bits.

    It runs in chunks no longer than its shortest delay line. Within such a chunk every
    value a line hands out was written before the chunk began, so the all-pass stages
    become plain element-wise passes, and the eight combs of a channel, each a chain of
    dependent steps, run side by side in vector lanes instead of one after another.
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
    static constexpr int numCombs = 8, numAllPasses = 4, numChannels = 2, maxChunk = 128;

    /** A delay line whose position carries on through clear(), as the framework's does. */
    struct DelayLine
    {
        std::vector<float> buffer;
        int index = 0;

        void setSize (int size);
        void clear() noexcept { std::fill (buffer.begin(), buffer.end(), 0.0f); }
        int size() const noexcept { return static_cast<int> (buffer.size()); }

        /** Copies out the next numSamples values, oldest first, without moving on. */
        void read (float* destination, int numSamples) const noexcept;

        /** Puts back numSamples new values in the places just read and moves past them. */
        void overwrite (const float* source, int numSamples) noexcept;

        void advance (int numSamples) noexcept
        {
            index += numSamples;

            if (index >= size())
                index -= size();
        }
    };

    void fillSmoothedValues (int numSamples, bool stereo) noexcept;

    template <int channels>
    void runCombs (int numSamples) noexcept;

    void runAllPasses (int channel, int numSamples) noexcept;

    juce::Reverb::Parameters parameters;
    float gain = 0.0f;
    DelayLine combLines[numChannels][numCombs], allPassLines[numChannels][numAllPasses];
    alignas (16) float combLast[numChannels][numCombs] {};
    int chunkLength = maxChunk; // never longer than the shortest line
    juce::SmoothedValue<float> damping, feedback, dryGain, wetGain1, wetGain2;

    /** Working storage for one chunk: fixed size, so processing never allocates. */
    struct Chunk
    {
        alignas (16) float input[maxChunk];
        alignas (16) float damp[maxChunk];
        alignas (16) float keep[maxChunk]; // 1 - damp
        alignas (16) float feedback[maxChunk];
        alignas (16) float dry[maxChunk];
        alignas (16) float wet1[maxChunk];
        alignas (16) float wet2[maxChunk];
        alignas (16) float wet[numChannels][maxChunk];
        alignas (16) float combRows[numChannels][numCombs][maxChunk];
    };

    Chunk chunk;

    JUCE_DECLARE_NON_COPYABLE (VoiceReverb)
};
