#pragma once

#include "VoiceChainSettings.h"
#include "dsp/stages/EchoStage.h"
#include "dsp/stages/PitchCorrection.h"
#include "dsp/stages/PitchTracking.h"
#include "dsp/stages/ReverbBlend.h"
#include "dsp/stages/ToneStage.h"

#include <juce_audio_basics/juce_audio_basics.h>

namespace halvora
{

//==============================================================================
/** Everything a block goes through, in place: the pitch is found in a mono mix of the
    block and followed, the block is moved towards the snapped note, then coloured,
    echoed and reverberated. It knows nothing of parameters: each block comes with its
    VoiceChainSettings.
*/
class VoiceChain final
{
public:
    /** What the pitch stages did in the last block. */
    struct PitchReport
    {
        float detectedHz = 0.0f; // 0 when nothing was found
        float smoothedHz = 0.0f;
        float targetHz = 0.0f; // the snapped note, 0 when the correction did not run
        float ratio = 1.0f;    // the replay speed applied to the block
    };

    /** Hosts announce a block size and sometimes hand over more; blocks of up to twice
        the announcement run without allocating. Announcements beyond this are taken as
        this, so that twice them still fits an int.
    */
    static constexpr int maxAnnouncedBlockSize = 1 << 24;

    /** Sizes and clears everything for the setup's sample rate (one Halvora runs at) and
        channels, for blocks of up to twice its maximumBlockSize (the host's announcement).
    */
    void prepare (const StageSetup&);

    /** Clears every stage, the analysis signal and the pitch report, keeping the sizes. */
    void reset();

    /** Runs one block through the chain in place. An empty block, or one without
        channels, is left alone and changes nothing. Samples that are NaN or infinite are
        read as silence.
    */
    void process (juce::AudioBuffer<float>&, const VoiceChainSettings&);

    /** The last block's pitch report; read it on the thread that calls process. */
    const PitchReport& getLastPitch() const noexcept { return lastPitch; }

    /** The mono mix the last block's pitch was looked for in: the mean of the first two
        channels, or the only one.
    */
    const juce::AudioBuffer<float>& getLastAnalysisSignal() const noexcept { return analysisBuffer; }

    /** What the stages were prepared with; before prepare, the default rate and nothing sized. */
    const StageSetup& getStageSetup() const noexcept { return stageSetup; }

private:
    static void silenceNonFiniteSamples (juce::AudioBuffer<float>&) noexcept;
    void buildAnalysisSignal (const juce::AudioBuffer<float>&);

    StageSetup stageSetup { 44100.0, 0, 0 };

    // The mono signal the pitch is found in, sized by prepare.
    juce::AudioBuffer<float> analysisBuffer;

    // The stages, in the order process runs them.
    PitchTracking pitchTracking;
    PitchCorrection pitchCorrection;
    ToneStage tone;
    EchoStage echo;
    ReverbBlend reverbBlend;

    PitchReport lastPitch;

    friend struct StageAccess;
};

} // namespace halvora
