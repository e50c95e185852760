#include "Lv2Instance.h"

#include "lv2/Lv2Features.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2StateText.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include <algorithm>
#include <cstring>

namespace halvora::lv2
{
namespace
{

    /** The host's maximum block length from its options, if it gives one that is a length:
        the largest we prepare for caps it, and the processor takes longer runs in pieces.
    */
    std::uint32_t maxBlockFrom (const LV2_Options_Option* options, const LV2_URID_Map& map)
    {
        if (options == nullptr)
            return defaultMaxBlock;

        const auto maxBlockLength = map.map (map.handle, LV2_BUF_SIZE__maxBlockLength);
        const auto atomInt = map.map (map.handle, LV2_ATOM__Int);

        // A host's list ends with an empty option; a list that never ends is cut off here.
        constexpr int longestOptionList = 256;

        for (int i = 0; i < longestOptionList && (options[i].key != 0 || options[i].value != nullptr); ++i)
        {
            const auto& option = options[i];

            if (option.key != maxBlockLength || option.type != atomInt || option.size != sizeof (std::int32_t)
                || option.value == nullptr || option.context != LV2_OPTIONS_INSTANCE)
                continue;

            std::int32_t length;
            std::memcpy (&length, option.value, sizeof length);

            if (length > 0)
                return std::min (static_cast<std::uint32_t> (length), largestMaxBlock);
        }

        return defaultMaxBlock;
    }

    std::string pluginUriWith (const char* suffix)
    {
        return std::string (HALVORA_LV2_URI) + suffix;
    }
} // namespace

//==============================================================================
std::unique_ptr<Lv2Instance> Lv2Instance::create (double sampleRate, const LV2_Feature* const* features)
{
    const auto* map = static_cast<const LV2_URID_Map*> (findFeature (features, LV2_URID__map));

    if (map == nullptr || map->map == nullptr)
        return nullptr;

    const auto* options = static_cast<const LV2_Options_Option*> (findFeature (features, LV2_OPTIONS__options));
    return std::unique_ptr<Lv2Instance> (new Lv2Instance (sampleRate, maxBlockFrom (options, *map), *map));
}

Lv2Instance::Lv2Instance (double rate, std::uint32_t maxBlockLength, const LV2_URID_Map& map)
    : sampleRate (rate),
      maxBlock (maxBlockLength),
      stateKey (map.map (map.handle, pluginUriWith (stateKeySuffix).c_str())),
      legacyStateKey (map.map (map.handle, pluginUriWith (legacyStateKeySuffix).c_str())),
      atomString (map.map (map.handle, LV2_ATOM__String)),
      processor (std::make_unique<HalvoraAudioProcessor>()),
      controls (processor->apvts),
      onTargetUrids (OnTargetUrids::map (map))
{
}

Lv2Instance::~Lv2Instance() = default;

//==============================================================================
void Lv2Instance::connectPort (std::uint32_t port, void* data) noexcept
{
    if (port == audioIn1 || port == audioIn2)
        inputs[port - audioIn1] = static_cast<const float*> (data);
    else if (port == audioOut1 || port == audioOut2)
        outputs[port - audioOut1] = static_cast<float*> (data);
    else if (isControlPort (port))
        controls.connect (port - firstControl, static_cast<const float*> (data));
    else if (port == latency)
        latencyPort = static_cast<float*> (data);
    else if (port == onTarget)
        onTargetPort = static_cast<const LV2_Atom_Sequence*> (data);
    else if (port == onTargetReport)
        onTargetReportPort = static_cast<LV2_Atom_Sequence*> (data);
}

void Lv2Instance::activate()
{
    const auto blockLength = static_cast<int> (maxBlock);
    processor->setRateAndBufferSizeDetails (sampleRate, blockLength);
    processor->prepareToPlay (sampleRate, blockLength);
    block.setSize (2, blockLength);
    block.clear();
}

void Lv2Instance::deactivate()
{
    processor->releaseResources();
}

void Lv2Instance::exchangeOnTargetMessages() noexcept
{
    if (onTargetPort != nullptr)
    {
        const auto input = readOnTargetInput (onTargetUrids, *onTargetPort);

        if (input.lastTarget)
            processor->setActiveMvTarget (static_cast<HalvoraAudioProcessor::MvTarget> (*input.lastTarget));

        onTargetAsked = onTargetAsked || input.asked;
    }

    if (onTargetReportPort != nullptr)
    {
        const auto answer = onTargetAsked ? std::optional<int> (static_cast<int> (processor->getActiveMvTarget())) : std::nullopt;

        if (writeOnTargetReport (onTargetUrids, *onTargetReportPort, answer))
            onTargetAsked = false;
    }
}

void Lv2Instance::run (std::uint32_t numSamples) noexcept
{
    controls.apply();
    exchangeOnTargetMessages();

    if (latencyPort != nullptr)
        *latencyPort = 0.0f;

    if (inputs[0] == nullptr || inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr)
        return;

    // Not activated: nothing was prepared, so the run passes nothing on.
    if (block.getNumSamples() < static_cast<int> (maxBlock))
    {
        for (auto* out : outputs)
            std::fill (out, out + numSamples, 0.0f);
        return;
    }

    for (std::uint32_t done = 0; done < numSamples;)
    {
        const auto count = std::min (maxBlock, numSamples - done);

        for (int ch = 0; ch < 2; ++ch)
            std::copy (inputs[static_cast<std::size_t> (ch)] + done, inputs[static_cast<std::size_t> (ch)] + done + count,
                       block.getWritePointer (ch));

        juce::AudioBuffer<float> piece (block.getArrayOfWritePointers(), 2, static_cast<int> (count));
        processor->processBlock (piece, noMidi);

        for (int ch = 0; ch < 2; ++ch)
            std::copy (block.getReadPointer (ch), block.getReadPointer (ch) + count, outputs[static_cast<std::size_t> (ch)] + done);

        done += count;
    }
}

//==============================================================================
LV2_State_Status Lv2Instance::save (LV2_State_Store_Function store, LV2_State_Handle handle)
{
    if (store == nullptr)
        return LV2_STATE_ERR_UNKNOWN;

    // What the control ports set reaches the value-tree state first, so the processor's
    // save writes what its blocks play.
    controls.publishChanges();
    juce::MemoryBlock saved;
    processor->getStateInformation (saved);

    // Saved as the text of Halvora's state document, which a session file keeps readable.
    const auto text = Lv2StateText::textOf (saved);
    return store (handle, stateKey, text.c_str(), text.size() + 1, atomString, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Lv2Instance::restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
    if (retrieve == nullptr)
        return LV2_STATE_ERR_UNKNOWN;

    std::size_t size = 0;
    std::uint32_t type = 0, flags = 0;
    std::optional<juce::MemoryBlock> stateBlock;

    if (const auto* value = retrieve (handle, stateKey, &size, &type, &flags))
    {
        if (type != atomString)
            return LV2_STATE_ERR_BAD_TYPE;

        stateBlock = Lv2StateText::frame (static_cast<const char*> (value), size);
    }
    else if (const auto* legacy = retrieve (handle, legacyStateKey, &size, &type, &flags))
    {
        if (type != atomString)
            return LV2_STATE_ERR_BAD_TYPE;

        stateBlock = Lv2StateText::decodeLegacy (static_cast<const char*> (legacy), size);
    }
    else
    {
        return LV2_STATE_ERR_NO_PROPERTY;
    }

    if (! stateBlock || ! HalvoraAudioProcessor::isReadableState (stateBlock->getData(), static_cast<int> (stateBlock->getSize())))
        return LV2_STATE_ERR_UNKNOWN;

    // A parameter the state leaves out keeps what the ports last gave it.
    controls.publishChanges();
    processor->setStateInformation (stateBlock->getData(), static_cast<int> (stateBlock->getSize()));
    controls.takePortValuesAsApplied();
    return LV2_STATE_SUCCESS;
}

} // namespace halvora::lv2
