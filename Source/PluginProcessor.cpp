#include "PluginProcessor.h"
#include "PluginEditor.h"
#include "dsp/BlockResampler.h"
#include "state/XmlTextCheck.h"

#include <algorithm>
#include <cmath>

//==============================================================================
namespace
{
    /** The framework's XML reader runs past the end of text that is not well-formed UTF-8,
        and loops for ever on some processing instructions, so a block whose text could
        do either is refused before it gets there, as text that does not parse is. The
        framing is read as getXmlFromBinary reads it.
    */
    bool stateTextIsSafe (const void* data, int sizeInBytes)
    {
        if (data == nullptr || sizeInBytes <= 8)
            return true;   // the framing check refuses it anyway

        const auto* bytes = static_cast<const juce::uint8*> (data);
        const auto length = static_cast<int> (juce::ByteOrder::littleEndianInt (bytes + 4));

        if (juce::ByteOrder::littleEndianInt (bytes) != 0x21324356 || length <= 0)
            return true;

        const auto textSize = juce::jmin (sizeInBytes - 8, length);
        return isSafeXmlText (reinterpret_cast<const char*> (bytes + 8), static_cast<size_t> (textSize));
    }

    juce::RangedAudioParameter* findParameter (const juce::Array<juce::AudioProcessorParameter*>& params, const juce::var& id)
    {
        for (auto* p : params)
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
                if (ranged->getParameterID() == id.toString())
                    return ranged;

        return nullptr;
    }

    /** Makes a restored state safe and complete before the value-tree state takes it.

        A value beyond what a float holds (1e308, infinity) would become infinite on its
        way in, and NaN would stay NaN, so values are clamped to the parameter's range
        here, in double precision, and NaN reads as 0 like any other non-number.

        A parameter the state leaves out (an older or hand-written preset) must keep its
        value; the value-tree state would give it a fresh child without a value and so
        reset it to its default, so it gets a child holding its current value instead.
    */
    void sanitiseRestoredState (juce::ValueTree& state, const juce::Array<juce::AudioProcessorParameter*>& params)
    {
        for (auto child : state)
        {
            auto* param = findParameter (params, child.getProperty ("id"));

            if (param == nullptr || ! child.hasProperty ("value"))
                continue;

            auto value = static_cast<double> (child.getProperty ("value"));
            const auto& range = param->getNormalisableRange();

            if (std::isnan (value))
                value = 0.0;

            const auto clamped = juce::jlimit (static_cast<double> (range.start), static_cast<double> (range.end), value);

            if (clamped != value || ! child.getProperty ("value").isDouble())
                child.setProperty ("value", clamped, nullptr);
        }

        juce::StringArray missing;

        for (auto* p : params)
            if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p))
                if (! state.getChildWithProperty ("id", ranged->getParameterID()).isValid())
                    missing.add (ranged->getParameterID());

        missing.sort (false);

        for (const auto& id : missing)
        {
            auto* ranged = findParameter (params, id);
            juce::ValueTree child ("PARAM");
            child.setProperty ("id", id, nullptr);
            child.setProperty ("value", static_cast<double> (ranged->convertFrom0to1 (ranged->getValue())), nullptr);
            state.appendChild (child, nullptr);
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

bool HalvoraAudioProcessor::isReadableState (const void* data, int sizeInBytes)
{
    return stateTextIsSafe (data, sizeInBytes) && getXmlFromBinary (data, sizeInBytes) != nullptr;
}

void HalvoraAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (! stateTextIsSafe (data, sizeInBytes))
        return;

    const auto xml = getXmlFromBinary (data, sizeInBytes);

    if (xml == nullptr)
        return;

    auto state = juce::ValueTree::fromXml (*xml);
    sanitiseRestoredState (state, getParameters());
    apvts.replaceState (state);
}

//==============================================================================
void HalvoraAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto outs = getTotalNumOutputChannels();
    // Twice the announced block is allocated below; a host announcing billions of samples
    // must not overflow that.
    const auto maxBlock = juce::jlimit (0, maxAnnouncedBlockSize, maximumExpectedSamplesPerBlock);

    // A rate that is no rate at all (zero, negative, NaN) would divide the vibrato's phase
    // step by zero and make the echo line's length undefined: such a host gets the rate an
    // unprepared processor assumes. Absurdly high rates are capped so the line length fits.
    if (! (sampleRate > 0.0) || ! std::isfinite (sampleRate))
        sampleRate = 44100.0;

    sampleRate = juce::jmin (sampleRate, maxSampleRate);

    currentSampleRate = sampleRate;
    vibratoPhase = 0.0f;

    toneState.clear();
    toneState.resize (static_cast<size_t> (outs), 0.0f);

    analysisBuffer.setSize (juce::jmax (1, outs), 2 * maxBlock);
    analysisBuffer.clear();

    const auto echoLength = static_cast<int> (std::ceil (static_cast<double> (maxEchoSeconds) * sampleRate));
    echoBuffer.setSize (outs, juce::jmax (0, echoLength));
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

    // Working storage of the detector, the pitch shift and the reverb, sized here so the
    // audio thread never allocates for blocks of up to twice the announced size.
    pitchDetector.prepare (2 * maxBlock);
    shiftScratch.assign (static_cast<size_t> (2 * maxBlock), 0.0f);
    reverbScratch.setSize (juce::jmax (1, outs), 2 * maxBlock);
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

    /** A choice index from its raw value: truncated toward zero, then clamped. */
    int choiceIndex (float raw, int last) noexcept
    {
        if (! (raw > 0.0f))   // also NaN
            return 0;

        if (raw >= static_cast<float> (last))
            return last;

        return static_cast<int> (raw);
    }

    float clampTo01 (float x) noexcept
    {
        if (x < 0.0f)
            return 0.0f;

        return juce::jmin (1.0f, x);
    }

    /** Moves a fractional note number by the fewest whole semitones that put its rounded
        pitch class into the scale; ties go to the note below.
    */
    float snapMidiToScale (float midiNote, int key, int scale) noexcept
    {
        static constexpr std::int32_t scaleMasks[5][12] {
            { 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1 },   // Major
            { 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0 },   // Minor
            { 1, 0, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0 },   // Dorian
            { 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 0 },   // Mixolydian
            { 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1 },   // Chromatic
        };

        const auto pc = std::fmod (midiNote - static_cast<float> (key) + 1200.0f, 12.0f);
        const auto p = static_cast<int> (std::round (pc));

        auto bestDistance = 1.0e9f;
        auto bestOffset = 0.0f;

        for (int k = -24; k <= 24; ++k)
        {
            const auto pitchClass = ((p + k) % 12 + 12) % 12;

            if (scaleMasks[scale][pitchClass] != 0)
            {
                const auto d = (static_cast<float> (k) + midiNote) - midiNote;

                if (std::abs (d) < bestDistance)
                {
                    bestDistance = std::abs (d);
                    bestOffset = d;
                }
            }
        }

        return midiNote + bestOffset;
    }

    /** Band weights of the tone stage per vocal range: bright voices lift the highs. */
    constexpr float highWeights[] { 1.6f, 1.3f, 1.0f, 0.9f, 0.7f };
    constexpr float lowWeights[]  { 0.6f, 0.8f, 1.0f, 1.3f, 1.6f };

    constexpr float twoPiFloat = 6.2831855f;
} // namespace

HalvoraAudioProcessor::BlockSettings HalvoraAudioProcessor::readBlockSettings() const noexcept
{
    BlockSettings b;

    b.formantAmount = loadFinite (formantParam, 0.0f, -1.0f, 1.0f);

    const auto gainDb = loadFinite (gainParam, 0.0f, -24.0f, 24.0f);
    b.gainFactor = gainDb > -100.0f ? std::pow (10.0f, 0.05f * gainDb) : 0.0f;

    const auto rate = loadFinite (vibRateParam, 5.0f, 0.1f, 10.0f);
    b.vibratoRateHz = rate < 0.1f ? 0.1f : (rate > 10.0f ? 10.0f : rate);

    b.vibratoDepthPercent = loadFinite (vibDepthParam, 0.0f, 0.0f, 100.0f);
    b.delayPercent = loadFinite (delayMixParam, 0.0f, 0.0f, 100.0f);
    b.reverbPercent = loadFinite (reverbMixParam, 0.0f, 0.0f, 100.0f);

    const auto target = activeMvTarget.load (std::memory_order_relaxed);
    const auto correctionActive = target == static_cast<std::int32_t> (MvTarget::keyButton)
                               || target == static_cast<std::int32_t> (MvTarget::scaleButton);
    const auto morvel = morvelParam != nullptr ? loadFinite (morvelParam, 0.5f, 0.0f, 1.0f) : 0.0f;
    b.correctionAmount = correctionActive ? clampTo01 (morvel) : 0.0f;
    b.correctionStrength = std::sqrt (b.correctionAmount);

    // Clamped as floats before any conversion to an integer.
    b.rangeIndex = choiceIndex (loadFinite (rangeParam, 0.0f, 0.0f, 4.0f), 4);
    b.keyIndex = choiceIndex (loadFinite (keyParam, 0.0f, 0.0f, 11.0f), 11);
    b.scaleIndex = choiceIndex (loadFinite (scaleParam, 0.0f, 0.0f, 4.0f), 4);

    b.phaseIncrement = static_cast<float> (static_cast<double> (b.vibratoRateHz) * 6.283185307179586 / currentSampleRate);
    return b;
}

//==============================================================================
void HalvoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const auto numSamples = buffer.getNumSamples();
    const auto numChannels = buffer.getNumChannels();

    if (numSamples <= 0 || numChannels == 0)
        return;

    if (toneState.size() < static_cast<size_t> (numChannels))
        toneState.assign (static_cast<size_t> (numChannels), 0.0f);

    const auto block = readBlockSettings();

    silenceNonFiniteSamples (buffer);

    buildAnalysisSignal (buffer);

    const auto detectedHz = numSamples >= 64
                              ? pitchDetector.detect (analysisBuffer.getReadPointer (0), numSamples, currentSampleRate, block.rangeIndex)
                              : 0.0f;

    trackPitch (detectedHz, block.correctionStrength);

    lastPitch = { detectedHz, smoothedHz, 0.0f, 1.0f };

    if (smoothedHz > 0.0f && block.correctionStrength > 0.0f)
        correctPitch (buffer, block);

    applyToneVibratoAndGain (buffer, block);

    const auto echoMix = clampTo01 (block.delayPercent / 100.0f);

    if (echoMix > 0.0f && echoBuffer.getNumSamples() >= 1)
        applyEcho (buffer, echoMix);

    const auto reverbMix = clampTo01 (block.reverbPercent / 100.0f);

    if (reverbMix > 0.0f)
        applyReverb (buffer, reverbMix);
}

void HalvoraAudioProcessor::silenceNonFiniteSamples (juce::AudioBuffer<float>& buffer) noexcept
{
    // One NaN or infinity would otherwise live on in the tone filter, the echo lines and
    // the reverb until the next prepareToPlay: read it as silence instead.
    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        auto* samples = buffer.getWritePointer (c);

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

void HalvoraAudioProcessor::trackPitch (float detectedHz, float correctionStrength) noexcept
{
    if (detectedHz > 0.0f)
    {
        if (smoothedHz <= 0.0f)
            smoothedHz = detectedHz;

        // Firmer correction follows the voice faster.
        const auto alpha = 0.35f * correctionStrength + 0.05f;
        smoothedHz = alpha * detectedHz + (1.0f - alpha) * smoothedHz;
        lastDetectedHz = detectedHz;
    }
    else if (smoothedHz <= 0.0f)
    {
        smoothedHz = lastDetectedHz;
    }
}

void HalvoraAudioProcessor::correctPitch (juce::AudioBuffer<float>& buffer, const BlockSettings& block)
{
    const auto midi = std::log2 (juce::jmax (1.0f, smoothedHz) / 440.0f) * 12.0f + 69.0f;
    const auto snapped = snapMidiToScale (midi, block.keyIndex, block.scaleIndex);
    const auto target = std::exp2 ((snapped + -69.0f) / 12.0f) * 440.0f;

    if (target <= 1.0f)
        return;

    lastPitch.targetHz = target;

    auto pitchRatio = block.correctionStrength * (target / smoothedHz - 1.0f) + 1.0f;
    pitchRatio = pitchRatio < 0.5f ? 0.5f : juce::jmin (2.0f, pitchRatio);

    if (pitchRatio == 1.0f)
        return;

    const auto numSamples = buffer.getNumSamples();

    if (shiftScratch.size() < static_cast<size_t> (numSamples))
        shiftScratch.resize (static_cast<size_t> (numSamples));

    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        auto* samples = buffer.getWritePointer (c);
        std::copy_n (samples, numSamples, shiftScratch.data());
        BlockResampler::replay (shiftScratch.data(), samples, numSamples, pitchRatio);
    }

    lastPitch.ratio = pitchRatio;
}

void HalvoraAudioProcessor::applyToneVibratoAndGain (juce::AudioBuffer<float>& buffer, const BlockSettings& block) noexcept
{
    const auto f = juce::jlimit (-1.0f, 1.0f, block.formantAmount);
    const auto saturation = f < 0.0f ? -f : 0.0f;
    const auto darkening = f > 0.0f ? f : 0.0f;
    const auto drive = 4.0f * saturation + 1.0f;
    const auto saturationMix = 0.7f * saturation + 0.3f;

    const auto depthFraction = block.vibratoDepthPercent / 100.0f;
    const auto vibratoDepth = depthFraction < 0.0f ? 0.0f : juce::jmin (1.0f, depthFraction) * 0.5f;

    const auto highWeight = highWeights[block.rangeIndex];
    const auto lowWeight = lowWeights[block.rangeIndex];
    const auto gain = block.gainFactor;
    const auto norm = saturation > 0.0f ? 1.0f / std::tanh (drive) : 0.0f;
    const auto numSamples = buffer.getNumSamples();

    if (buffer.getNumChannels() <= 0)
        return;

    // With no vibrato depth the factor s * 0 + 1 is exactly 1 for any finite sine, so the
    // sine need not be computed: the same bits come out.
    const auto sinesNeeded = vibratoDepth != 0.0f;

    const auto advance = [step = block.phaseIncrement] (float& phase) noexcept
    {
        phase = phase + step;
        if (phase > twoPiFloat)
            phase -= twoPiFloat;
    };

    // In chunks, so that the sine and the tanh each run in a tight loop of their own
    // instead of the filter state being saved and restored around every call. Every
    // channel swings with the same vibrato, so one sine per sample serves them all.
    for (int start = 0; start < numSamples; start += toneChunkLength)
    {
        const auto length = juce::jmin (toneChunkLength, numSamples - start);
        auto* sines = vibratoSines.data();
        auto phase = vibratoPhase;

        if (sinesNeeded)
        {
            for (int i = 0; i < length; ++i)
            {
                sines[i] = std::sin (phase);
                advance (phase);
            }
        }

        for (int c = 0; c < buffer.getNumChannels(); ++c)
        {
            auto* samples = buffer.getWritePointer (c) + start;
            auto* shaped = saturatedSamples.data();
            auto lp = toneState[static_cast<size_t> (c)];

            if (saturation > 0.0f)
                for (int i = 0; i < length; ++i)
                    shaped[i] = std::tanh (drive * samples[i]);

            // Without sines the phase moves on in the first channel's loop, beside the
            // filter, rather than in a loop of its own.
            const auto movesPhase = c == 0 && ! sinesNeeded;

            for (int i = 0; i < length; ++i)
            {
                const auto x = samples[i];
                lp = (lp + x) * 0.5f;

                float v;
                if (saturation > 0.0f)
                    v = x * (1.0f - saturationMix) + shaped[i] * norm * saturationMix;
                else if (darkening > 0.0f)
                    v = x * (1.0f - darkening) + darkening * lp;
                else
                    v = x;

                const auto y = lp * lowWeight + (v - lp) * highWeight;
                const auto sine = sinesNeeded ? sines[i] : 0.0f;
                samples[i] = ((sine * vibratoDepth + 1.0f) * y) * gain;

                if (movesPhase)
                    advance (phase);
            }

            toneState[static_cast<size_t> (c)] = lp;
        }

        vibratoPhase = phase;
    }
}

void HalvoraAudioProcessor::applyEcho (juce::AudioBuffer<float>& buffer, float echoMix) noexcept
{
    const auto length = echoBuffer.getNumSamples();
    const auto delay = [this, length]
    {
        const auto d = std::round (currentSampleRate * 0.35);
        return d <= 0.0 ? 1 : static_cast<int> (juce::jmin (d, static_cast<double> (length - 1)));
    }();

    const auto numSamples = buffer.getNumSamples();
    const auto start = echoWritePos;
    auto w = start;

    // Each channel has its own line; a channel beyond the lines (no accepted layout has
    // one) passes without echo.
    const auto channels = juce::jmin (buffer.getNumChannels(), echoBuffer.getNumChannels());

    for (int c = 0; c < channels; ++c)
    {
        auto* samples = buffer.getWritePointer (c);
        auto* line = echoBuffer.getWritePointer (c);
        w = start;

        for (int i = 0; i < numSamples; ++i)
        {
            // The read position (w + length - delay) mod length, by comparison: both w and
            // the delay lie below the line's length, so one wrap is all it can need.
            const auto x = samples[i];
            auto r = w - delay;
            if (r < 0)
                r += length;

            const auto e = line[r];
            line[w] = e * 0.3f + x;
            samples[i] = x * (1.0f - echoMix) + e * echoMix;

            if (++w == length)
                w = 0;
        }
    }

    echoWritePos = static_cast<int> ((static_cast<juce::int64> (start) + numSamples) % length);
}

void HalvoraAudioProcessor::applyReverb (juce::AudioBuffer<float>& buffer, float reverbMix) noexcept
{
    const auto numSamples = buffer.getNumSamples();
    const auto numChannels = buffer.getNumChannels();

    // Allocation-free while the block fits what prepareToPlay reserved.
    reverbScratch.makeCopyOf (buffer, true);

    if (numChannels >= 2)
        reverb.processStereo (reverbScratch.getWritePointer (0), reverbScratch.getWritePointer (1), numSamples);
    else
        reverb.processMono (reverbScratch.getWritePointer (0), numSamples);

    for (int c = 0; c < numChannels; ++c)
    {
        auto* samples = buffer.getWritePointer (c);
        const auto* wet = reverbScratch.getReadPointer (c);

        for (int i = 0; i < numSamples; ++i)
            samples[i] = samples[i] * (1.0f - reverbMix) + wet[i] * reverbMix;
    }
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new HalvoraAudioProcessor();
}
