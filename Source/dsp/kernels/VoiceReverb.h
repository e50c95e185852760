#pragma once

#include "VectorPath.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

namespace halvora
{

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
class VoiceReverb final
{
public:
    VoiceReverb();

    /** Runs the combs on a vector path: scalar and sse2 put four combs to a Float4 (an
        SSE2 vector, or four plain floats in a build without SSE2); avx, avx2 and avx512
        all eight of a channel in one 256-bit AVX vector, which needs AVX alone. Every path
        gives the same bits. Returns false, changing nothing, for a path this processor (or
        build) cannot run.
    */
    bool useVectorPath (VectorPath) noexcept;
    VectorPath getVectorPath() const noexcept { return path; }

    /** "four lanes" or "eight lanes": how many combs share a vector on this path. */
    static const char* describeLanes (VectorPath) noexcept;

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

    /** avx (eight lanes) wherever the processor has AVX, even without AVX2; else four lanes. */
    static VectorPath widestAvailable() noexcept;
    static bool runsEightLanes (VectorPath p) noexcept
    {
        return p == VectorPath::avx || p == VectorPath::avx2 || p == VectorPath::avx512;
    }

    VectorPath path = widestAvailable();

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

} // namespace halvora
