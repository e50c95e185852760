#pragma once

#include "VoiceStage.h"
#include "dsp/kernels/VectorPath.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <optional>
#include <vector>

namespace halvora
{

//==============================================================================
/** The third stage of the voice chain: the formant-style tone (saturation one way,
    darkening the other, band weights per vocal range), the vibrato and the output gain.
*/
class ToneStage final
{
public:
    /** One block's settings, as the parameter snapshot gives them. */
    struct Settings
    {
        float formantAmount = 0.0f; // -1 saturates, +1 darkens
        float vibratoDepthPercent = 0.0f;
        float gainFactor = 1.0f;
        float vibratoRateHz = 0.0f; // one swing of the vibrato per 1 / rate seconds
        int rangeIndex = 0;
    };

    /** Gives each of the StageSetup's channels its own filter state, takes the sample rate the
        vibrato's phase steps by, and restarts the vibrato.
    */
    void prepare (const StageSetup&);

    /** Clears the filter states and restarts the vibrato. */
    void reset() noexcept;

    /** Applies the tone, vibrato and gain in place. A block with more channels than
        prepared for grows the filter states first.
    */
    void process (juce::AudioBuffer<float>&, const Settings&);

    /** Runs the sines, the saturation and the filter on one vector path (the filter's
        chain takes fused multiply-adds on avx2 and avx512 where the processor has them).
        Every path gives the same bits; unset, each part takes the fastest for it on this
        processor. Returns false, changing nothing, for a path this processor cannot run.
    */
    bool useVectorPath (VectorPath) noexcept;

private:
    double sampleRate = 44100.0;
    std::vector<float> toneState; // each channel's one-pole low-pass
    float vibratoPhase = 0.0f;

    std::optional<VectorPath> path;
    bool fusedLowPass = VectorPaths::hasFusedMultiplyAdd();

    // The phases, sines, saturated samples and filter sums of one chunk of a block.
    static constexpr int toneChunkLength = 256;
    std::array<float, toneChunkLength> vibratoPhases {}, vibratoSines {}, saturatedSamples {}, filterSums {};

    friend struct StageAccess;
};

static_assert (hasStageShape<ToneStage, juce::AudioBuffer<float>&>);

} // namespace halvora
