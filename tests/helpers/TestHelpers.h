#pragma once

#include "PluginProcessor.h"
#include "helpers/StageAccess.h"
#include "helpers/TestSignals.h"

#include <juce_audio_formats/juce_audio_formats.h>

/** Reaches the processor's private processing state, for tests that check it: its voice
    chain's and stages' state through the stages' one inspector.
*/
struct HalvoraProcessorInspector
{
    using Stages = halvora::StageAccess;

    explicit HalvoraProcessorInspector (HalvoraAudioProcessor& p)
        : processor (p)
    {
    }

    juce::AudioBuffer<float>& analysisBuffer() { return Stages::analysisBuffer (processor.chain); }
    double& currentSampleRate() { return Stages::stageSetup (processor.chain).sampleRate; }
    std::vector<float>& toneState() { return Stages::toneState (Stages::tone (processor.chain)); }
    float& vibratoPhase() { return Stages::vibratoPhase (Stages::tone (processor.chain)); }
    juce::AudioBuffer<float>& echoBuffer() { return Stages::echoBuffer (Stages::echo (processor.chain)); }
    int& echoWritePos() { return Stages::echoWritePos (Stages::echo (processor.chain)); }
    juce::Reverb::Parameters& reverbParams() { return Stages::reverbParams (Stages::reverbBlend (processor.chain)); }
    float& lastDetectedHz() { return Stages::lastDetectedHz (Stages::pitchTracking (processor.chain)); }
    float& smoothedHz() { return Stages::smoothedHz (Stages::pitchTracking (processor.chain)); }

    HalvoraAudioProcessor& processor;
};

namespace testutil
{

/** Sets a parameter by its plain value, as the host would through automation. */
void setPlain (juce::AudioProcessor& processor, const juce::String& id, float plain);
float getPlain (juce::AudioProcessor& processor, const juce::String& id);
juce::RangedAudioParameter& param (juce::AudioProcessor& processor, const juce::String& id);

/** A file in a fresh per-test folder, removed with the folder. */
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }
    int numFiles() const { return folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories); }

private:
    juce::File folder;
};

void writeWav (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate, int bits = 32);
juce::AudioBuffer<float> readAudio (const juce::File& file, double* sampleRate = nullptr);

struct CommandResult
{
    int exitCode = -1;
    juce::String output;
};

/** Runs halvora-render with the given arguments; output is stdout and stderr together. */
CommandResult runRender (const juce::StringArray& args);

/** What halvora-render makes of `input` with these options (-q, --block, -p, --state ...),
    through WAV files in a folder of its own; a failed run fails the calling test.
*/
juce::AudioBuffer<float> renderThroughRenderer (const juce::AudioBuffer<float>& input, double sampleRate,
                                                const juce::StringArray& options);

/** The first frame where the two differ bit for bit, -1 when they are the same, 0 when
    their shapes differ.
*/
int firstDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b);

} // namespace testutil
