#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_audio_basics/juce_audio_basics.h>

#include "dsp/PitchDetector.h"
#include "dsp/VoiceReverb.h"

#include <array>
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

    /** True if setStateInformation would take these bytes: the framing, valid UTF-8 text
        and XML that parses. For tools that check a state file before restoring it.
    */
    static bool isReadableState (const void* data, int sizeInBytes);
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    //==============================================================================
    /** Called by the editor's ON buttons; the next block reads the new target. */
    void setActiveMvTarget (MvTarget target) noexcept;
    MvTarget getActiveMvTarget() const noexcept;

    //==============================================================================
    /** What the pitch stages did in the last block. */
    struct PitchReport
    {
        float detectedHz = 0.0f;   // 0 when nothing was found
        float smoothedHz = 0.0f;
        float targetHz = 0.0f;     // the snapped note, 0 when the correction did not run
        float ratio = 1.0f;        // the replay speed applied to the block
    };

    /** For offline tools and tests: read it on the thread that calls processBlock. */
    const PitchReport& getLastBlockPitch() const noexcept { return lastPitch; }

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
    static constexpr double maxSampleRate = 4.0e6;
    static constexpr int maxAnnouncedBlockSize = 1 << 24;
    VoiceReverb reverb;              // juce::Reverb's arithmetic exactly, with cheaper wrapping
    juce::Reverb::Parameters reverbParams;
    float lastDetectedHz = 0.0f;
    float smoothedHz = 0.0f;

    // Working storage of the detector, the pitch shift and the reverb, sized by
    // prepareToPlay so that the audio thread does not allocate.
    PitchDetector pitchDetector;
    std::vector<float> shiftScratch;
    juce::AudioBuffer<float> reverbScratch;

    // The tone stage's sines and saturated samples for one chunk of a block.
    static constexpr int toneChunkLength = 256;
    std::array<float, toneChunkLength> vibratoSines {}, saturatedSamples {};

    PitchReport lastPitch;

    std::atomic<std::int32_t> activeMvTarget { 0 };

    //==============================================================================
    /** Every parameter read once at the start of a block, with its clamps applied. */
    struct BlockSettings
    {
        float formantAmount = 0.0f;
        float gainFactor = 1.0f;
        float vibratoRateHz = 5.0f;
        float vibratoDepthPercent = 0.0f;
        float delayPercent = 0.0f;
        float reverbPercent = 0.0f;
        float correctionAmount = 0.0f;
        float correctionStrength = 0.0f;
        int rangeIndex = 0;
        int keyIndex = 0;
        int scaleIndex = 0;
        float phaseIncrement = 0.0f;
    };

    BlockSettings readBlockSettings() const noexcept;
    void silenceNonFiniteSamples (juce::AudioBuffer<float>&) noexcept;
    void buildAnalysisSignal (const juce::AudioBuffer<float>&);
    void trackPitch (float detectedHz, float correctionStrength) noexcept;
    void correctPitch (juce::AudioBuffer<float>&, const BlockSettings&);
    void applyToneVibratoAndGain (juce::AudioBuffer<float>&, const BlockSettings&) noexcept;
    void applyEcho (juce::AudioBuffer<float>&, float echoMix) noexcept;
    void applyReverb (juce::AudioBuffer<float>&, float reverbMix) noexcept;

    friend struct HalvoraProcessorInspector;

    //==============================================================================
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HalvoraAudioProcessor)
};
