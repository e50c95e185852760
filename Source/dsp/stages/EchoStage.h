#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace halvora
{

//==============================================================================
/** The fourth stage of the voice chain: one echo 0.35 s behind the voice, each repeat at
    0.3 of the one before, blended in by the delay amount. Each channel has its own line.
*/
class EchoStage final
{
public:
    /** Lines of maxEchoSeconds at sampleRate (above 0, finite) for numChannels, cleared. */
    void prepare (double sampleRate, int numChannels);

    /** Clears the lines. */
    void reset() noexcept;

    /** Blends the echo into the block by echoMix (0 to 1). Without lines (never prepared)
        the block passes unchanged.
    */
    void process (juce::AudioBuffer<float>&, float echoMix) noexcept;

    static constexpr float maxEchoSeconds = 1.0f;

    juce::AudioBuffer<float> echoBuffer;
    int echoWritePos = 0;

private:
    double sampleRate = 44100.0;
};

} // namespace halvora
