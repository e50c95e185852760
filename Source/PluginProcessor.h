#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_audio_basics/juce_audio_basics.h>

#include "ParameterSnapshot.h"
#include "dsp/VoiceChain.h"

#include <atomic>

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
        none = 0,
        rangeButton = 1,
        voiceButton = 2,
        keyButton = 3,
        scaleButton = 4
    };

    //==============================================================================
    HalvoraAudioProcessor();
    ~HalvoraAudioProcessor() override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    //==============================================================================
    const juce::String getName() const override;

    /** The host sample rates Halvora runs at; outside them it runs at the default rate.
        Below the lowest, the vibrato's phase step could reach a whole turn; above the
        highest the echo line would outgrow what a host can sensibly give it.
    */
    static constexpr double minSampleRate = 1000.0;
    static constexpr double maxSampleRate = 4.0e6;
    static constexpr double defaultSampleRate = 44100.0;

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

    /** True if setStateInformation would take these bytes: the framing, and well-formed
        text that Halvora's state schema reads. For tools that check a state file first.
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
    using PitchReport = halvora::VoiceChain::PitchReport;

    /** For offline tools and tests: read it on the thread that calls processBlock. */
    const PitchReport& getLastBlockPitch() const noexcept { return chain.getLastPitch(); }

    //==============================================================================
    juce::AudioProcessorValueTreeState apvts;

private:
    //==============================================================================
    halvora::ParameterReader parameters { apvts };

    //==============================================================================
    // Everything processBlock does to a block; an unprepared processor runs at the default rate.
    halvora::VoiceChain chain;

    std::atomic<std::int32_t> activeMvTarget { 0 };

    //==============================================================================
    bool isCorrectionActive() const noexcept;

    friend struct HalvoraProcessorInspector;

    //==============================================================================
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HalvoraAudioProcessor)
};
