#pragma once

#include "VoiceStage.h"
#include "dsp/kernels/PitchDetector.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <optional>

namespace halvora
{

//==============================================================================
/** The first stage of the voice chain: finds the sung pitch in a block's analysis signal
    and follows it smoothly from block to block, so that one stray detection does not
    throw the correction about.
*/
class PitchTracking final
{
public:
    /** One block's settings, as the parameter snapshot gives them. */
    struct Settings
    {
        int rangeIndex = 0;              // where to look: 0 Soprano to 4 Bass
        float correctionStrength = 0.0f; // 0 to 1; firmer correction follows the voice faster
    };

    /** What one block's tracking found. */
    struct Tracked
    {
        float detectedHz = 0.0f; // the block's own detection, 0 when nothing was found
        float smoothedHz = 0.0f; // the pitch followed so far
    };

    /** Blocks shorter than this are not analysed at all, in any range and at any rate. */
    static constexpr int shortestAnalysedBlock = 64;

    /** Sizes the detector so that blocks of up to the StageSetup's maximum allocate nothing,
        takes the sample rate, and forgets the voice.
    */
    void prepare (const StageSetup&);

    /** Forgets the voice followed so far. */
    void reset() noexcept;

    /** Detects the pitch in the first channel of one block's analysis signal (nothing in
        a block shorter than shortestAnalysedBlock) and follows it.
    */
    Tracked process (const juce::AudioBuffer<float>& analysis, const Settings&);

    /** One smoothing step: a detection moves the followed pitch towards it, faster the
        firmer the correction; without one, a voice never followed starts from the last
        detection.
    */
    void follow (float detectedHz, float correctionStrength) noexcept;

private:
    PitchDetector detector;
    double sampleRate = 44100.0;
    float lastDetectedHz = 0.0f;
    float smoothedHz = 0.0f;

    friend struct StageAccess;
};

static_assert (hasStageShape<PitchTracking, const juce::AudioBuffer<float>&>);

/** The fewest samples a block needs for PitchTracking::process to find a pitch in this
    range (0 Soprano to 4 Bass) at this sample rate: every shorter block detects nothing,
    so a host buffer below it leaves the voice uncorrected. Nothing when no block length
    will do at this rate.
*/
std::optional<int> shortestDetectingBlock (int rangeIndex, double sampleRate) noexcept;

} // namespace halvora
