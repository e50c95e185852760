#pragma once

#include "HalvoraVocabulary.h"
#include "dsp/stages/EchoStage.h"
#include "dsp/stages/PitchCorrection.h"
#include "dsp/stages/PitchTracking.h"
#include "dsp/stages/ReverbBlend.h"
#include "dsp/stages/ToneStage.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>

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

//==============================================================================
/** The processor's eleven parameters as the audio thread reads them: the parameter
    objects, in the vocabulary's order, taken once from the value-tree state.
*/
class ParameterReader final
{
public:
    explicit ParameterReader (juce::AudioProcessorValueTreeState&);

    /** The block's snapshot. The parameters never hold NaN for long (they turn it into
        their default as it arrives), but a block may start in between: NaN reads as the
        parameter's default and an infinity as the bound it points at, so that no stage ever
        holds a non-finite value. Choices are truncated toward zero, then kept to their list
        (they hold whole indices, so this only matters for such a moment).
    */
    ParameterSnapshot read() const noexcept;

    /** One parameter per place in parameterIDs. */
    using Handles = std::array<const juce::RangedAudioParameter*, parameterIDs.size()>;

private:
    Handles handles {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParameterReader)
};

} // namespace halvora
