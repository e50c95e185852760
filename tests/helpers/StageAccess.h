#pragma once

#include "dsp/VoiceChain.h"
#include "dsp/stages/EchoStage.h"
#include "dsp/stages/PitchCorrection.h"
#include "dsp/stages/PitchTracking.h"
#include "dsp/stages/ReverbBlend.h"
#include "dsp/stages/ToneStage.h"

#include <vector>

namespace halvora
{

/** The tests' one way into the private state of the voice chain's stages, which
    befriend it, and to the stages inside a chain, for the processor's own tests. Needs no
    processor, so the DSP tests use it as well.
*/
struct StageAccess
{
    static float& lastDetectedHz (PitchTracking& s) { return s.lastDetectedHz; }
    static float& smoothedHz (PitchTracking& s) { return s.smoothedHz; }
    static std::vector<float>& toneState (ToneStage& s) { return s.toneState; }
    static float& vibratoPhase (ToneStage& s) { return s.vibratoPhase; }
    static juce::AudioBuffer<float>& echoBuffer (EchoStage& s) { return s.echoBuffer; }
    static int& echoWritePos (EchoStage& s) { return s.echoWritePos; }
    static juce::Reverb::Parameters& reverbParams (ReverbBlend& s) { return s.reverbParams; }

    static StageSetup& stageSetup (VoiceChain& c) { return c.stageSetup; }
    static juce::AudioBuffer<float>& analysisBuffer (VoiceChain& c) { return c.analysisBuffer; }
    static PitchTracking& pitchTracking (VoiceChain& c) { return c.pitchTracking; }
    static ToneStage& tone (VoiceChain& c) { return c.tone; }
    static EchoStage& echo (VoiceChain& c) { return c.echo; }
    static ReverbBlend& reverbBlend (VoiceChain& c) { return c.reverbBlend; }
};

} // namespace halvora
