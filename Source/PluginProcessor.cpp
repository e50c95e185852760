#include "PluginProcessor.h"
#include "PluginEditor.h"
#include "HalvoraVocabulary.h"
#include "dsp/Clamp.h"
#include "parameters/HalvoraParameters.h"
#include "state/SavedState.h"
#include "state/StateFraming.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

//==============================================================================
HalvoraAudioProcessor::HalvoraAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      apvts (*this, nullptr, "PARAMS", createParameterLayout())
{
}

HalvoraAudioProcessor::~HalvoraAudioProcessor() = default;

//==============================================================================
juce::AudioProcessorValueTreeState::ParameterLayout HalvoraAudioProcessor::createParameterLayout()
{
    std::vector<std::unique_ptr<juce::RangedAudioParameter>> params;

    for (const auto& p : halvora::continuousParameters)
        params.push_back (std::make_unique<halvora::HeldFloatParameter> (p));

    for (const auto& p : halvora::choiceParameters)
        params.push_back (std::make_unique<halvora::HeldChoiceParameter> (p));

    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add (params.begin(), params.end());
    return layout;
}

//==============================================================================
// clang-format off
const juce::String HalvoraAudioProcessor::getName() const            { return "Halvora"; }
bool HalvoraAudioProcessor::supportsDoublePrecisionProcessing() const { return false; }
double HalvoraAudioProcessor::getTailLengthSeconds() const            { return 0.0; }
bool HalvoraAudioProcessor::acceptsMidi() const                       { return false; }
bool HalvoraAudioProcessor::producesMidi() const                      { return false; }
bool HalvoraAudioProcessor::isMidiEffect() const                      { return false; }

juce::AudioProcessorEditor* HalvoraAudioProcessor::createEditor()     { return new HalvoraAudioProcessorEditor (*this); }
bool HalvoraAudioProcessor::hasEditor() const                         { return true; }

int HalvoraAudioProcessor::getNumPrograms()                           { return 1; }
int HalvoraAudioProcessor::getCurrentProgram()                        { return 0; }
void HalvoraAudioProcessor::setCurrentProgram (int)                   {}
const juce::String HalvoraAudioProcessor::getProgramName (int)        { return {}; }
void HalvoraAudioProcessor::changeProgramName (int, const juce::String&) {}
// clang-format on

void HalvoraAudioProcessor::setActiveMvTarget (MvTarget target) noexcept
{
    activeMvTarget.store (static_cast<std::int32_t> (target), std::memory_order_relaxed);
}

HalvoraAudioProcessor::MvTarget HalvoraAudioProcessor::getActiveMvTarget() const noexcept
{
    return static_cast<MvTarget> (activeMvTarget.load (std::memory_order_relaxed));
}

//==============================================================================
bool HalvoraAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto mainIn = layouts.getMainInputChannelSet();
    const auto mainOut = layouts.getMainOutputChannelSet();

    if (mainIn != mainOut)
        return false;

    return mainIn == juce::AudioChannelSet::mono() || mainIn == juce::AudioChannelSet::stereo();
}

//==============================================================================
void HalvoraAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto xml = apvts.copyState().createXml();

    if (xml == nullptr)
        return;

    // The same single-line text, and so the same bytes, as copyXmlToBinary writes.
    juce::MemoryOutputStream text;
    xml->writeTo (text, juce::XmlElement::TextFormat().singleLine());

    if (const auto block = halvora::StateFraming::frame ({ static_cast<const char*> (text.getData()), text.getDataSize() }))
        destData = *block;
}

bool HalvoraAudioProcessor::isReadableState (const void* data, int sizeInBytes)
{
    return halvora::SavedState::readStateBlock (data, sizeInBytes).has_value();
}

void HalvoraAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // Only what Halvora's own schema reads from the bytes reaches the value-tree state;
    // bytes that are not a state of ours change nothing.
    if (const auto document = halvora::SavedState::readStateBlock (data, sizeInBytes))
        apvts.replaceState (halvora::SavedState::makeRestoredState (*document, getParameters()));
}

//==============================================================================
void HalvoraAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto outs = getTotalNumOutputChannels();
    // Twice the announced block is allocated below; a host announcing billions of samples
    // must not overflow that.
    const auto maxBlock = halvora::clampBetween (0, maxAnnouncedBlockSize, maximumExpectedSamplesPerBlock);

    // A rate that is no rate at all (zero, negative, NaN) or one we cannot honour (1e-300 Hz
    // would make the vibrato's phase step infinite, 1 Hz a step of several turns that the
    // phase never wraps back from) gets the rate an unprepared processor assumes.
    if (! (sampleRate >= minSampleRate && sampleRate <= maxSampleRate))
        sampleRate = defaultSampleRate;

    analysisBuffer.setSize (juce::jmax (1, outs), 2 * maxBlock);
    analysisBuffer.clear();

    // Every stage's working storage is sized here so the audio thread never allocates for
    // blocks of up to twice the announced size.
    stageSetup = { sampleRate, 2 * maxBlock, outs };
    pitchTracking.prepare (stageSetup);
    pitchCorrection.prepare (stageSetup);
    tone.prepare (stageSetup);
    echo.prepare (stageSetup);
    reverbBlend.prepare (stageSetup);
}

void HalvoraAudioProcessor::releaseResources()
{
}

//==============================================================================
bool HalvoraAudioProcessor::isCorrectionActive() const noexcept
{
    const auto target = getActiveMvTarget();
    return target == MvTarget::keyButton || target == MvTarget::scaleButton;
}

void HalvoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    if (buffer.getNumSamples() <= 0 || buffer.getNumChannels() == 0)
        return;

    const auto settings = halvora::VoiceChainSettings::from (parameters.read(), isCorrectionActive());

    silenceNonFiniteSamples (buffer);
    buildAnalysisSignal (buffer);

    const auto tracked = pitchTracking.process (analysisBuffer, settings.tracking);
    const auto corrected = pitchCorrection.process (buffer, tracked.smoothedHz, settings.correction);
    lastPitch = { tracked.detectedHz, tracked.smoothedHz, corrected.targetHz, corrected.ratio };

    tone.process (buffer, settings.tone);
    echo.process (buffer, settings.echo);
    reverbBlend.process (buffer, settings.reverb);
}

void HalvoraAudioProcessor::silenceNonFiniteSamples (juce::AudioBuffer<float>& buffer) noexcept
{
    // One NaN or infinity would otherwise live on in the tone filter, the echo lines and
    // the reverb until the next prepareToPlay: read it as silence instead.
    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        auto* samples = buffer.getWritePointer (c);

        // First one look over the whole channel, in vector lanes: without the sign bit, every
        // infinity and NaN lies at or above the infinity's bit pattern, every finite
        // value below it. Almost every block is finite throughout and stops there.
        std::uint32_t largestMagnitude = 0;

        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, samples + i, sizeof (bits));
            largestMagnitude = std::max (largestMagnitude, bits & 0x7fffffffu);
        }

        if (largestMagnitude < 0x7f800000u)
            continue;

        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (samples[i]))
                samples[i] = 0.0f;
    }
}

void HalvoraAudioProcessor::buildAnalysisSignal (const juce::AudioBuffer<float>& buffer)
{
    const auto numSamples = buffer.getNumSamples();
    analysisBuffer.setSize (1, numSamples, false, false, true);
    auto* mono = analysisBuffer.getWritePointer (0);

    if (buffer.getNumChannels() == 1)
    {
        std::copy_n (buffer.getReadPointer (0), numSamples, mono);
        return;
    }

    const auto* left = buffer.getReadPointer (0);
    const auto* right = buffer.getReadPointer (1);

    for (int i = 0; i < numSamples; ++i)
        mono[i] = (left[i] + right[i]) * 0.5f;
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new HalvoraAudioProcessor();
}
