#include "PluginProcessor.h"
#include "PluginEditor.h"

#include <cmath>

//==============================================================================
namespace
{
    /** A saved state that leaves a parameter out (an older or hand-written preset) must
        not touch it. The value-tree state would give such a parameter a fresh child
        without a value and so reset it to its default; handing it a child that holds
        its current value keeps it where it is.
    */
    void keepParametersTheStateDoesNotName (juce::ValueTree& state, const juce::Array<juce::AudioProcessorParameter*>& params)
    {
        juce::StringArray missing;

        for (auto* p : params)
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
                if (! state.getChildWithProperty ("id", ranged->getParameterID()).isValid())
                    missing.add (ranged->getParameterID());

        missing.sort (false);

        for (const auto& id : missing)
        {
            for (auto* p : params)
            {
                auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p);

                if (ranged != nullptr && ranged->getParameterID() == id)
                {
                    juce::ValueTree child ("PARAM");
                    child.setProperty ("id", id, nullptr);
                    child.setProperty ("value", static_cast<double> (ranged->convertFrom0to1 (ranged->getValue())), nullptr);
                    state.appendChild (child, nullptr);
                }
            }
        }
    }
} // namespace

//==============================================================================
HalvoraAudioProcessor::HalvoraAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      apvts (*this, nullptr, "PARAMS", createParameterLayout())
{
    formantParam   = apvts.getRawParameterValue ("formant");
    gainParam      = apvts.getRawParameterValue ("gain");
    vibRateParam   = apvts.getRawParameterValue ("vibRate");
    vibDepthParam  = apvts.getRawParameterValue ("vibDepth");
    delayMixParam  = apvts.getRawParameterValue ("delayMix");
    reverbMixParam = apvts.getRawParameterValue ("reverbMix");
    morvelParam    = apvts.getRawParameterValue ("morvel");
    rangeParam     = apvts.getRawParameterValue ("range");
    voiceParam     = apvts.getRawParameterValue ("voice");
    keyParam       = apvts.getRawParameterValue ("key");
    scaleParam     = apvts.getRawParameterValue ("scale");
}

HalvoraAudioProcessor::~HalvoraAudioProcessor() = default;

//==============================================================================
juce::AudioProcessorValueTreeState::ParameterLayout HalvoraAudioProcessor::createParameterLayout()
{
    using Range = juce::NormalisableRange<float>;

    const auto continuous = [] (const char* id, const char* name, float min, float max, float step, float def)
    {
        return std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id }, name, Range { min, max, step, 1.0f }, def);
    };

    const juce::StringArray ranges { "Soprano", "Alto", "Tenor", "Baritone", "Bass" };
    const juce::StringArray voices { "Female", "Male" };
    const juce::StringArray keys { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" };
    const juce::StringArray scales { "Major", "Minor", "Dorian", "Mixolydian", "Chromatic" };

    const auto choice = [] (const char* id, const char* name, const juce::StringArray& choices)
    {
        return std::make_unique<juce::AudioParameterChoice> (juce::ParameterID { id }, name, choices, 0);
    };

    std::vector<std::unique_ptr<juce::RangedAudioParameter>> params;
    params.push_back (continuous ("formant",   "Formant",            -1.0f,   1.0f, 0.001f, 0.0f));
    params.push_back (continuous ("gain",      "Gain (dB)",         -24.0f,  24.0f, 0.01f,  0.0f));
    params.push_back (continuous ("vibRate",   "Vibrato Rate (Hz)",   0.1f,  10.0f, 0.001f, 5.0f));
    params.push_back (continuous ("vibDepth",  "Vibrato Depth (%)",   0.0f, 100.0f, 0.01f,  0.0f));
    params.push_back (continuous ("delayMix",  "Delay",               0.0f, 100.0f, 0.1f,   0.0f));
    params.push_back (continuous ("reverbMix", "Reverb",              0.0f, 100.0f, 0.1f,   0.0f));
    params.push_back (continuous ("morvel",    "Morvel",              0.0f,   1.0f, 0.001f, 0.5f));
    params.push_back (choice ("range", "Range", ranges));
    params.push_back (choice ("voice", "Voice", voices));
    params.push_back (choice ("key",   "Key",   keys));
    params.push_back (choice ("scale", "Scale", scales));

    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add (params.begin(), params.end());
    return layout;
}

//==============================================================================
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
    const auto state = apvts.copyState();

    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void HalvoraAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = getXmlFromBinary (data, sizeInBytes);

    if (xml == nullptr)
        return;

    auto state = juce::ValueTree::fromXml (*xml);
    keepParametersTheStateDoesNotName (state, getParameters());
    apvts.replaceState (state);
}

//==============================================================================
void HalvoraAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto outs = getTotalNumOutputChannels();

    currentSampleRate = sampleRate;
    vibratoPhase = 0.0f;

    toneState.clear();
    toneState.resize (static_cast<size_t> (outs), 0.0f);

    analysisBuffer.setSize (juce::jmax (1, outs), 2 * maximumExpectedSamplesPerBlock);
    analysisBuffer.clear();

    const auto echoLength = static_cast<int> (std::ceil (static_cast<double> (maxEchoSeconds) * sampleRate));
    echoBuffer.setSize (outs, echoLength);
    echoBuffer.clear();
    echoWritePos = 0;

    reverbParams.roomSize = 0.6f;
    reverbParams.damping = 0.4f;
    reverbParams.wetLevel = 1.0f;
    reverbParams.dryLevel = 1.0f;
    reverbParams.width = 1.0f;
    reverbParams.freezeMode = 0.0f;
    reverb.setParameters (reverbParams);
    reverb.reset();

    lastDetectedHz = 0.0f;
    smoothedHz = 0.0f;
}

void HalvoraAudioProcessor::releaseResources()
{
}

void HalvoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ignoreUnused (buffer);
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new HalvoraAudioProcessor();
}
