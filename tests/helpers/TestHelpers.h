#pragma once

#include "PluginProcessor.h"

#include <juce_audio_formats/juce_audio_formats.h>

/** Reaches the processor's private processing state, for tests that check it. */
struct HalvoraProcessorInspector
{
    explicit HalvoraProcessorInspector (HalvoraAudioProcessor& p)
        : processor (p)
    {
    }

    juce::AudioBuffer<float>& analysisBuffer() { return processor.analysisBuffer; }
    std::vector<float>& toneState() { return processor.tone.toneState; }
    double& currentSampleRate() { return processor.currentSampleRate; }
    float& vibratoPhase() { return processor.tone.vibratoPhase; }
    juce::AudioBuffer<float>& echoBuffer() { return processor.echo.echoBuffer; }
    int& echoWritePos() { return processor.echo.echoWritePos; }
    juce::Reverb::Parameters& reverbParams() { return processor.reverbBlend.reverbParams; }
    float& lastDetectedHz() { return processor.pitchTracking.lastDetectedHz; }
    float& smoothedHz() { return processor.pitchTracking.smoothedHz; }

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

/** A repeatable mix of tones and noise, different per channel. */
juce::AudioBuffer<float> makeTestSignal (int numChannels, int numSamples, double sampleRate, juce::uint32 seed = 1);

struct CommandResult
{
    int exitCode = -1;
    juce::String output;
};

/** Runs halvora-render with the given arguments; output is stdout and stderr together. */
CommandResult runRender (const juce::StringArray& args);

} // namespace testutil
