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
    // A rate that is no rate at all (zero, negative, NaN) or one we cannot honour (1e-300 Hz
    // would make the vibrato's phase step infinite, 1 Hz a step of several turns that the
    // phase never wraps back from) gets the rate an unprepared processor assumes.
    if (! (sampleRate >= minSampleRate && sampleRate <= maxSampleRate))
        sampleRate = defaultSampleRate;

    chain.prepare ({ sampleRate, maximumExpectedSamplesPerBlock, getTotalNumOutputChannels() });
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
    chain.process (buffer, halvora::VoiceChainSettings::from (parameters.read(), isCorrectionActive()));
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new HalvoraAudioProcessor();
}
