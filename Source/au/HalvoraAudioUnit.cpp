#include "HalvoraAudioUnit.h"

#include <algorithm>

namespace
{
juce::AudioChannelSet channelSetFor (int channels)
{
    if (channels == 0)
        return juce::AudioChannelSet::disabled();
    if (channels == 1)
        return juce::AudioChannelSet::mono();
    if (channels == 2)
        return juce::AudioChannelSet::stereo();
    return juce::AudioChannelSet::discreteChannels (channels);
}

/** Picks the entry for `in` input and `out` output channels out of a list of pairs. */
auto channelPair (int in, int out)
{
    return [in, out] (const AUChannelInfo& info) { return info.inChannels == in && info.outChannels == out; };
}

/** Chosen once per process, as the Cocoa runtime wants unique class names. */
const juce::String& viewClassSuffix()
{
    static const auto suffix = juce::String::toHexString (juce::Random().nextInt64());
    return suffix;
}
}

//==============================================================================
HalvoraAudioUnit::HalvoraAudioUnit (const AudioComponentDescription& desc, AudioComponentInstance hostInstance)
    : description (desc),
      instance (hostInstance != nullptr ? hostInstance : reinterpret_cast<AudioComponentInstance> (this))
{
    juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_AudioUnit;
    processor.reset (createPluginFilter());
    processor->enableAllBuses();

    // Every pair of main-bus channel counts the processor accepts, and the current one.
    for (int in = 0; in <= 8; ++in)
    {
        for (int out = 1; out <= 8; ++out)
        {
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (channelSetFor (in));
            layout.outputBuses.add (channelSetFor (out));

            if (processor->checkBusesLayoutSupported (layout))
                channelInfos.push_back ({ static_cast<SInt16> (in), static_cast<SInt16> (out) });
        }
    }

    inputChannels = processor->getMainBusNumInputChannels();
    outputChannels = processor->getMainBusNumOutputChannels();

    const auto current = std::find_if (channelInfos.begin(), channelInfos.end(), channelPair (inputChannels, outputChannels));
    if (current == channelInfos.end())
        channelInfos.push_back ({ static_cast<SInt16> (inputChannels), static_cast<SInt16> (outputChannels) });

    // Published in the order of their identifiers, which depend on the ID strings alone.
    for (auto* p : processor->getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (p);

        if (ranged == nullptr)
            continue;

        PublishedParameter published;
        published.id = parameterIdFor (ranged->getParameterID());
        published.parameter = ranged;
        published.name = ranged->getName (512).toStdString();

        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (ranged))
        {
            published.numChoices = choice->choices.size();

            for (const auto& text : choice->choices)
                published.valueStrings.push_back (text.toStdString());
        }

        parameters.push_back (std::move (published));
    }

    std::stable_sort (parameters.begin(), parameters.end(), [] (const PublishedParameter& a, const PublishedParameter& b) { return a.id < b.id; });

    idByIndex.resize (static_cast<size_t> (processor->getParameters().size()));

    for (auto& p : parameters)
    {
        for (const auto& text : p.valueStrings)
            p.valueStringPointers.push_back (text.c_str());

        p.valueStringArray = { static_cast<UInt32> (p.valueStringPointers.size()), p.valueStringPointers.data() };
        parameterIds.push_back (p.id);

        if (juce::isPositiveAndBelow (p.parameter->getParameterIndex(), static_cast<int> (idByIndex.size())))
            idByIndex[static_cast<size_t> (p.parameter->getParameterIndex())] = p.id;
    }

    // Room for every event the queue can hold, so that handing them over never allocates.
    midi.ensureSize (MidiEventQueue::capacity);
    processor->addListener (this);

    const auto library = juce::File::getSpecialLocation (juce::File::currentExecutableFile);
    bundleLocation = library.getParentDirectory().getParentDirectory().getParentDirectory().getFullPathName().toStdString();
    viewClassName = ("JUCE_AUCocoaViewClass_" + viewClassSuffix()).toStdString();
}

HalvoraAudioUnit::~HalvoraAudioUnit()
{
    processor->removeListener (this);
    cancelPendingUpdate();

    if (initialised)
        processor->releaseResources();
}

//==============================================================================
OSStatus HalvoraAudioUnit::initialize()
{
    if (initialised)
        return noErr;

    const auto supported = std::any_of (channelInfos.begin(), channelInfos.end(), channelPair (inputChannels, outputChannels));

    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (channelSetFor (inputChannels));
    layout.outputBuses.add (channelSetFor (outputChannels));

    if (! supported || ! processor->setBusesLayout (layout))
        return kAudioUnitErr_FormatNotSupported;

    const auto maxFrames = static_cast<int> (maxFramesPerSlice);
    processor->setRateAndBufferSizeDetails (sampleRate, maxFrames);
    processor->prepareToPlay (sampleRate, maxFrames);

    renderBuffer.setSize (juce::jmax (inputChannels, outputChannels, 1), maxFrames);
    inputListStorage.calloc (sizeof (AudioBufferList) + sizeof (AudioBuffer) * static_cast<size_t> (juce::jmax (1, inputChannels)));

    // MIDI sent before the host started belongs to no block. Nothing renders before this
    // returns, so this thread may empty the queue in the render thread's place.
    midiQueue.discardAll();
    midiDiscardRequested = false;

    initialised = true;
    return noErr;
}

OSStatus HalvoraAudioUnit::uninitialize()
{
    if (initialised)
        processor->releaseResources();

    initialised = false;
    return noErr;
}
