#pragma once

#include "dsp/stages/EchoStage.h"
#include "dsp/stages/PitchCorrection.h"
#include "dsp/stages/PitchTracking.h"
#include "dsp/stages/ReverbBlend.h"
#include "dsp/stages/ToneStage.h"

namespace halvora
{

//==============================================================================
/** Every parameter's value for one block, read once at the block's start: finite
    throughout, in each parameter's own units, not yet clamped to its range (that is the
    voice chain's business, in VoiceChainSettings).
*/
struct ParameterSnapshot
{
    float formant = 0.0f;
    float gainDb = 0.0f;
    float vibratoRateHz = 5.0f;
    float vibratoDepthPercent = 0.0f;
    float delayPercent = 0.0f;
    float reverbPercent = 0.0f;
    float morvel = 0.0f; // 0 when the processor has no morvel parameter at all
    int rangeIndex = 0;
    int keyIndex = 0;
    int scaleIndex = 0;
};

//==============================================================================
/** Each stage's settings for one block: the one place where parameter values become
    what the stages work with.
*/
struct VoiceChainSettings
{
    PitchTracking::Settings tracking;
    PitchCorrection::Settings correction;
    ToneStage::Settings tone;
    EchoStage::Settings echo;
    ReverbBlend::Settings reverb;

    /** The settings for a block with this snapshot; correctionActive says whether an ON
        button that lets the correction act (key or scale) is lit.
    */
    static VoiceChainSettings from (const ParameterSnapshot&, bool correctionActive) noexcept;
};

} // namespace halvora
