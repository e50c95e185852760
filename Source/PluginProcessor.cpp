#include "PluginProcessor.h"
#include "PluginEditor.h"
#include "HalvoraVocabulary.h"
#include "dsp/Clamp.h"
#include "state/SavedState.h"

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
    // clang-format off
    formantParam   = apvts.getRawParameterValue (halvora::ParamID::formant);
    gainParam      = apvts.getRawParameterValue (halvora::ParamID::gain);
    vibRateParam   = apvts.getRawParameterValue (halvora::ParamID::vibRate);
    vibDepthParam  = apvts.getRawParameterValue (halvora::ParamID::vibDepth);
    delayMixParam  = apvts.getRawParameterValue (halvora::ParamID::delayMix);
    reverbMixParam = apvts.getRawParameterValue (halvora::ParamID::reverbMix);
    morvelParam    = apvts.getRawParameterValue (halvora::ParamID::morvel);
    rangeParam     = apvts.getRawParameterValue (halvora::ParamID::range);
    voiceParam     = apvts.getRawParameterValue (halvora::ParamID::voice);
    keyParam       = apvts.getRawParameterValue (halvora::ParamID::key);
    scaleParam     = apvts.getRawParameterValue (halvora::ParamID::scale);
    // clang-format on
}

HalvoraAudioProcessor::~HalvoraAudioProcessor() = default;

//==============================================================================
juce::AudioProcessorValueTreeState::ParameterLayout HalvoraAudioProcessor::createParameterLayout()
{
    std::vector<std::unique_ptr<juce::RangedAudioParameter>> params;

    for (const auto& p : halvora::continuousParameters)
        params.push_back (std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { p.id }, p.name,
                                                                       juce::NormalisableRange<float> { p.minimum, p.maximum, p.step, 1.0f },
                                                                       p.defaultValue));

    for (const auto& p : halvora::choiceParameters)
        params.push_back (std::make_unique<juce::AudioParameterChoice> (juce::ParameterID { p.id }, p.name,
                                                                        juce::StringArray (p.choices, p.numChoices), 0));

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
    const auto state = apvts.copyState();

    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

bool HalvoraAudioProcessor::isReadableState (const void* data, int sizeInBytes)
{
    return SavedState::readStateBlock (data, sizeInBytes).has_value();
}

void HalvoraAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // Only what Halvora's own schema reads from the bytes reaches the value-tree state;
    // bytes that are not a state of ours change nothing.
    if (const auto document = SavedState::readStateBlock (data, sizeInBytes))
        apvts.replaceState (SavedState::makeRestoredState (*document, getParameters()));
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

    currentSampleRate = sampleRate;

    analysisBuffer.setSize (juce::jmax (1, outs), 2 * maxBlock);
    analysisBuffer.clear();

    // Every stage's working storage is sized here so the audio thread never allocates for
    // blocks of up to twice the announced size.
    pitchTracking.prepare (2 * maxBlock);
    pitchCorrection.prepare (2 * maxBlock);
    tone.prepare (outs);
    echo.prepare (sampleRate, outs);
    reverbBlend.prepare (outs, 2 * maxBlock);
}

void HalvoraAudioProcessor::releaseResources()
{
}

//==============================================================================
namespace
{
/** A parameter's raw value for this block. Hosts can send NaN or infinity as a
    normalised value, and the framework passes it through to the raw value: NaN reads
    as the parameter's default and an infinity as the bound it points at, so that no
    stage (the vibrato phase, the echo lines, the reverb) ever holds a non-finite value.
    Finite values pass unchanged; the stages apply their own clamps.
*/
float loadFinite (const std::atomic<float>* handle, float defaultValue, float minimum, float maximum) noexcept
{
    if (handle == nullptr)
        return defaultValue;

    const auto raw = handle->load (std::memory_order_relaxed);

    if (std::isnan (raw))
        return defaultValue;

    if (std::isinf (raw))
        return raw > 0.0f ? maximum : minimum;

    return raw;
}

/** A continuous parameter read with its own default and bounds. */
float loadFinite (const std::atomic<float>* handle, const halvora::ContinuousParameter& p) noexcept
{
    return loadFinite (handle, p.defaultValue, p.minimum, p.maximum);
}

/** A choice index from its raw value: truncated toward zero, then clamped to the list. */
int loadChoice (const std::atomic<float>* handle, const halvora::ChoiceParameter& p) noexcept
{
    const auto last = p.numChoices - 1;
    const auto raw = loadFinite (handle, 0.0f, 0.0f, static_cast<float> (last)); // clamped as a float first

    if (! (raw > 0.0f)) // also NaN
        return 0;

    if (raw >= static_cast<float> (last))
        return last;

    return static_cast<int> (raw);
}

constexpr auto& formantSpec = halvora::findContinuous (halvora::ParamID::formant);
constexpr auto& gainSpec = halvora::findContinuous (halvora::ParamID::gain);
constexpr auto& vibRateSpec = halvora::findContinuous (halvora::ParamID::vibRate);
constexpr auto& vibDepthSpec = halvora::findContinuous (halvora::ParamID::vibDepth);
constexpr auto& delayMixSpec = halvora::findContinuous (halvora::ParamID::delayMix);
constexpr auto& reverbMixSpec = halvora::findContinuous (halvora::ParamID::reverbMix);
constexpr auto& morvelSpec = halvora::findContinuous (halvora::ParamID::morvel);
constexpr auto& rangeSpec = halvora::findChoice (halvora::ParamID::range);
constexpr auto& keySpec = halvora::findChoice (halvora::ParamID::key);
constexpr auto& scaleSpec = halvora::findChoice (halvora::ParamID::scale);
} // namespace

HalvoraAudioProcessor::BlockSettings HalvoraAudioProcessor::readBlockSettings() const noexcept
{
    BlockSettings b;

    b.formantAmount = loadFinite (formantParam, formantSpec);

    const auto gainDb = loadFinite (gainParam, gainSpec);
    b.gainFactor = gainDb > -100.0f ? std::pow (10.0f, 0.05f * gainDb) : 0.0f;

    b.vibratoRateHz = halvora::clampBetween (vibRateSpec.minimum, vibRateSpec.maximum, loadFinite (vibRateParam, vibRateSpec));
    b.vibratoDepthPercent = loadFinite (vibDepthParam, vibDepthSpec);
    b.delayPercent = loadFinite (delayMixParam, delayMixSpec);
    b.reverbPercent = loadFinite (reverbMixParam, reverbMixSpec);

    // Without a morvel handle there is no correction at all, not the default amount.
    const auto target = activeMvTarget.load (std::memory_order_relaxed);
    const auto correctionActive = target == static_cast<std::int32_t> (MvTarget::keyButton)
                               || target == static_cast<std::int32_t> (MvTarget::scaleButton);
    const auto morvel = morvelParam != nullptr ? loadFinite (morvelParam, morvelSpec) : 0.0f;
    b.correctionAmount = correctionActive ? halvora::clampBetween (0.0f, 1.0f, morvel) : 0.0f;
    b.correctionStrength = std::sqrt (b.correctionAmount);

    b.rangeIndex = loadChoice (rangeParam, rangeSpec);
    b.keyIndex = loadChoice (keyParam, keySpec);
    b.scaleIndex = loadChoice (scaleParam, scaleSpec);

    b.phaseIncrement = static_cast<float> (static_cast<double> (b.vibratoRateHz) * 6.283185307179586 / currentSampleRate);
    return b;
}

//==============================================================================
void HalvoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    if (buffer.getNumSamples() <= 0 || buffer.getNumChannels() == 0)
        return;

    const auto block = readBlockSettings();

    silenceNonFiniteSamples (buffer);
    buildAnalysisSignal (buffer);

    const auto detectedHz = pitchTracking.process (analysisBuffer.getReadPointer (0), buffer.getNumSamples(),
                                                   currentSampleRate, block.rangeIndex, block.correctionStrength);
    const auto smoothedHz = pitchTracking.smoothedHz;
    lastPitch = { detectedHz, smoothedHz, 0.0f, 1.0f };

    if (smoothedHz > 0.0f && block.correctionStrength > 0.0f)
    {
        const auto correction = pitchCorrection.process (buffer, smoothedHz, block.keyIndex, block.scaleIndex, block.correctionStrength);
        lastPitch.targetHz = correction.targetHz;
        lastPitch.ratio = correction.ratio;
    }

    tone.process (buffer, { block.formantAmount, block.vibratoDepthPercent, block.gainFactor, block.phaseIncrement, block.rangeIndex });

    const auto echoMix = halvora::clampBetween (0.0f, 1.0f, block.delayPercent / 100.0f);

    if (echoMix > 0.0f)
        echo.process (buffer, echoMix);

    const auto reverbMix = halvora::clampBetween (0.0f, 1.0f, block.reverbPercent / 100.0f);

    if (reverbMix > 0.0f)
        reverbBlend.process (buffer, reverbMix);
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
