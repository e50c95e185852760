#pragma once

#include "VoiceStage.h"

#include <juce_audio_basics/juce_audio_basics.h>

namespace halvora
{

//==============================================================================
/** The fourth stage of the voice chain: one echo echoSeconds behind the voice, each
    repeat at repeatLevel of the one before, blended in by the delay amount. Each channel
    has its own line.
*/
class EchoStage final
{
public:
    /** One block's settings, as the parameter snapshot gives them. */
    struct Settings
    {
        float mixPercent = 0.0f; // the delay amount: 0 leaves the block alone, 100 is all echo
    };

    static constexpr float maxEchoSeconds = 1.0f;
    static constexpr double echoSeconds = 0.35;

    /** Each repeat's level against the one before: what the line feeds back into itself. */
    static constexpr float repeatLevel = 0.3f;

    /** Lines of maxEchoSeconds at the StageSetup's sample rate (above 0, finite) for each of
        its channels, cleared.
    */
    void prepare (const StageSetup&);

    /** Clears the lines. */
    void reset() noexcept;

    /** Blends the echo into the block by the delay amount; at 0 the block, the lines and
        the write position are left as they are. Without lines (never prepared) the block
        passes unchanged.
    */
    void process (juce::AudioBuffer<float>&, const Settings&) noexcept;

private:
    void blend (juce::AudioBuffer<float>&, float echoMix) noexcept;

    juce::AudioBuffer<float> echoBuffer;
    int echoWritePos = 0;
    double sampleRate = 44100.0;

    friend struct StageAccess;
};

static_assert (hasStageShape<EchoStage, juce::AudioBuffer<float>&>);

} // namespace halvora
