#pragma once

#include "PluginProcessor.h"
#include "helpers/StageAccess.h"
#include "helpers/TestSignals.h"

#include <juce_audio_formats/juce_audio_formats.h>

/** Reaches the processor's private processing state, for tests that check it; the
    stages' own state through the stages' one inspector.
*/
struct HalvoraProcessorInspector
{
    using Stages = halvora::StageAccess;

    explicit HalvoraProcessorInspector (HalvoraAudioProcessor& p)
        : processor (p)
    {
    }

    juce::AudioBuffer<float>& analysisBuffer() { return processor.analysisBuffer; }
    double& currentSampleRate() { return processor.stageSetup.sampleRate; }
    std::vector<float>& toneState() { return Stages::toneState (processor.tone); }
    float& vibratoPhase() { return Stages::vibratoPhase (processor.tone); }
    juce::AudioBuffer<float>& echoBuffer() { return Stages::echoBuffer (processor.echo); }
    int& echoWritePos() { return Stages::echoWritePos (processor.echo); }
    juce::Reverb::Parameters& reverbParams() { return Stages::reverbParams (processor.reverbBlend); }
    float& lastDetectedHz() { return Stages::lastDetectedHz (processor.pitchTracking); }
    float& smoothedHz() { return Stages::smoothedHz (processor.pitchTracking); }

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

} // namespace testutil
