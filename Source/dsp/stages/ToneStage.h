#pragma once

#include "dsp/kernels/VectorMath.h"

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
        float phaseIncrement = 0.0f; // the vibrato's phase step per sample, in radians
        int rangeIndex = 0;
    };

    /** Gives each of numChannels its own filter state, and restarts the vibrato. */
    void prepare (int numChannels);

    /** Clears the filter states and restarts the vibrato. */
    void reset() noexcept;

    /** Applies the tone, vibrato and gain in place. A block with more channels than
        prepared for grows the filter states first.
    */
    void process (juce::AudioBuffer<float>&, const Settings&);

    std::vector<float> toneState; // each channel's one-pole low-pass
    float vibratoPhase = 0.0f;

    /** The vector path of the sines and the saturation. Every path gives the same bits;
        unset, each function takes the fastest for it on this processor.
    */
    std::optional<VectorPath> mathPath;

    /** The filter's chain with fused multiply-adds, where the processor has them. The
        same bits either way, so only tests choose.
    */
    bool fusedLowPass = VectorPaths::hasFusedMultiplyAdd();

private:
    // The phases, sines, saturated samples and filter sums of one chunk of a block.
    static constexpr int toneChunkLength = 256;
    std::array<float, toneChunkLength> vibratoPhases {}, vibratoSines {}, saturatedSamples {}, filterSums {};
};

} // namespace halvora
