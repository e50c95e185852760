#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

//==============================================================================
/** The framework reverb (juce::Reverb, a Freeverb design) with exactly its arithmetic:
    the same tunings, smoothed gains, filter order and denormal guards, so it gives the
    same bits.

    It runs in chunks no longer than its shortest delay line. Within such a chunk every
    value a line hands out was written before the chunk began, so the all-pass stages
    become plain element-wise passes (all four taken together, sample by sample), and the
    eight combs of a channel, each a chain of dependent steps, run side by side in vector
    lanes instead of one after another: four to an SSE2 vector, or all eight in one AVX
    vector where the processor has AVX (asked once, at load). A line that does not wrap
    within a chunk is worked on in place.
*/
class VoiceReverb
{
public:
    /** How the combs share vectors. Both ways give the same bits; they differ in speed. */
    enum class Lanes
    {
        four, // four combs to an SSE2 vector (four plain floats where there is no SSE2)
        eight // all eight combs of a channel in one AVX vector, where the processor has AVX
    };

    static constexpr Lanes allLanes[] { Lanes::four, Lanes::eight };

    /** True when this processor (and this build) can run them. */
    static bool isAvailable (Lanes) noexcept;

    /** What a new reverb uses: the widest this processor runs. */
    static Lanes fastestAvailable() noexcept;

    static const char* name (Lanes) noexcept;

    VoiceReverb();

    /** Switches to the given lanes; returns false, changing nothing, if they are not available. */
    bool useLanes (Lanes) noexcept;
    Lanes getLanes() const noexcept { return lanes; }

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

    template <int channels>
    void process (float* const* io, int numSamples) noexcept;

    void fillSmoothedValues (int numSamples, bool stereo) noexcept;

    template <int channels>
    void runCombs (int numSamples) noexcept;

    void runAllPasses (int channel, int numSamples) noexcept;

    Lanes lanes = fastestAvailable();

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
        alignas (16) float combRows[numChannels][numCombs][maxChunk]; // for lines that wrap within the chunk
    };

    Chunk chunk;

    /** The settled parameter values the chunk's rows hold, and for how many samples. */
    struct SettledRows
    {
        float targets[5] {};
        int length = 0;
        bool stereo = false;
    };

    SettledRows settledRows;

    JUCE_DECLARE_NON_COPYABLE (VoiceReverb)
};
