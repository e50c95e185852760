#pragma once

#include "dsp/kernels/PitchDetector.h"

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
    /** Blocks shorter than this are not analysed at all, in any range and at any rate. */
    static constexpr int shortestAnalysedBlock = 64;

    /** Sizes the detector so that blocks of up to maxBlockSize samples allocate nothing,
        and forgets the voice.
    */
    void prepare (int maxBlockSize);

    /** Forgets the voice followed so far. */
    void reset() noexcept;

    /** Detects the pitch of one block (0 when nothing is found or the block is shorter
        than shortestDetectingBlock), follows it and returns what was detected.
    */
    float process (const float* analysis, int numSamples, double sampleRate, int rangeIndex, float correctionStrength);

    /** One smoothing step: a detection moves smoothedHz towards it, faster the firmer the
        correction; without one, a voice never followed starts from the last detection.
    */
    void follow (float detectedHz, float correctionStrength) noexcept;

    PitchDetector detector;
    float lastDetectedHz = 0.0f;
    float smoothedHz = 0.0f;
};

/** The fewest samples a block needs for PitchTracking::process to find a pitch in this
    range (0 Soprano to 4 Bass) at this sample rate: every shorter block detects nothing,
    so a host buffer below it leaves the voice uncorrected. Nothing when no block length
    will do at this rate.
*/
std::optional<int> shortestDetectingBlock (int rangeIndex, double sampleRate) noexcept;

} // namespace halvora
