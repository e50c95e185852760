#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <vector>

//==============================================================================
/** The processor hosts see: eleven parameters, stereo or mono in place, and the
    voice chain that detects, corrects and colours the sung pitch.
*/
class HalvoraAudioProcessor final : public juce::AudioProcessor
{
public:
    /** Which of the editor's four ON buttons is lit; only key and scale let the
        pitch correction act.
    */
    enum class MvTarget : std::int32_t
    {
        none        = 0,
        rangeButton = 1,
        voiceButton = 2,
        keyButton   = 3,
        scaleButton = 4
    };

    //==============================================================================
    HalvoraAudioProcessor();
    ~HalvoraAudioProcessor() override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    //==============================================================================
    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using AudioProcessor::processBlock;

    bool supportsDoublePrecisionProcessing() const override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int) override;
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    //==============================================================================
    /** Called by the editor's ON buttons; the next block reads the new target. */
    void setActiveMvTarget (MvTarget target) noexcept;
    MvTarget getActiveMvTarget() const noexcept;

    //==============================================================================
    juce::AudioProcessorValueTreeState apvts;

private:
    //==============================================================================
    std::atomic<float>* formantParam   = nullptr;
    std::atomic<float>* gainParam      = nullptr;
    std::atomic<float>* vibRateParam   = nullptr;
    std::atomic<float>* vibDepthParam  = nullptr;
    std::atomic<float>* delayMixParam  = nullptr;
    std::atomic<float>* reverbMixParam = nullptr;
    std::atomic<float>* morvelParam    = nullptr;
    std::atomic<float>* rangeParam     = nullptr;
    std::atomic<float>* voiceParam     = nullptr;
    std::atomic<float>* keyParam       = nullptr;
    std::atomic<float>* scaleParam     = nullptr;

    //==============================================================================
    juce::AudioBuffer<float> analysisBuffer;
    std::vector<float> toneState;
    double currentSampleRate = 44100.0;
    float vibratoPhase = 0.0f;
    juce::AudioBuffer<float> echoBuffer;
    int echoWritePos = 0;
    float maxEchoSeconds = 1.0f;
    juce::Reverb reverb;
    juce::Reverb::Parameters reverbParams;
    float lastDetectedHz = 0.0f;
    float smoothedHz = 0.0f;

    std::atomic<std::int32_t> activeMvTarget { 0 };

    friend struct HalvoraProcessorInspector;

    //==============================================================================
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HalvoraAudioProcessor)
};
