#include "ClapPlugin.h"

#include "clap/ClapGui.h"
#include "clap/ClapStreams.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/latency.h>
#include <clap/ext/state.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace halvora::clap
{

//==============================================================================
const clap_plugin_t* ClapPlugin::create (const clap_host_t* host)
{
    if (host == nullptr || ! clap_version_is_compatible (host->clap_version))
        return nullptr;

    return &(new ClapPlugin (host))->plugin;
}

ClapPlugin::ClapPlugin (const clap_host_t* clapHost)
    : host (clapHost),
      processor (std::make_unique<HalvoraAudioProcessor>()),
      parameters (processor->apvts)
{
    plugin = {
        &descriptor(),
        this,
        [] (const clap_plugin_t* p) { return of (p).init(); },
        [] (const clap_plugin_t* p) { delete &of (p); },
        [] (const clap_plugin_t* p, double rate, std::uint32_t, std::uint32_t maxFrames) { return of (p).activate (rate, maxFrames); },
        [] (const clap_plugin_t* p) { of (p).deactivate(); },
        [] (const clap_plugin_t*) { return true; },
        [] (const clap_plugin_t*) {},
        [] (const clap_plugin_t* p) { of (p).processor->reset(); },
        [] (const clap_plugin_t* p, const clap_process_t* process) {
            return process != nullptr ? of (p).process (*process) : CLAP_PROCESS_ERROR;
        },
        extension,
        [] (const clap_plugin_t* p) { of (p).parameters.publishChanges(); },
    };
}

ClapPlugin::~ClapPlugin()
{
    destroyGui();
}

ClapPlugin& ClapPlugin::of (const clap_plugin_t* p) noexcept
{
    return *static_cast<ClapPlugin*> (p->plugin_data);
}

bool ClapPlugin::init()
{
    if (host->get_extension != nullptr)
    {
        hostTimers = static_cast<const clap_host_timer_support_t*> (host->get_extension (host, CLAP_EXT_TIMER_SUPPORT));
        parameters.setHost (host, static_cast<const clap_host_params_t*> (host->get_extension (host, CLAP_EXT_PARAMS)));
    }

    return true;
}

//==============================================================================
bool ClapPlugin::activate (double sampleRate, std::uint32_t maxFrames)
{
    maxBlock = std::clamp (maxFrames, std::uint32_t { 1 }, largestMaxBlock);
    const auto blockLength = static_cast<int> (maxBlock);
    processor->setRateAndBufferSizeDetails (sampleRate, blockLength);
    processor->prepareToPlay (sampleRate, blockLength);
    block.setSize (2, blockLength);
    block.clear();
    active = true;
    return true;
}

void ClapPlugin::deactivate()
{
    active = false;
    processor->releaseResources();
    parameters.publishChanges();
}

clap_process_status ClapPlugin::process (const clap_process_t& p) noexcept
{
    if (! active)
        return CLAP_PROCESS_ERROR;

    // Every parameter event of the block counts from its first sample.
    parameters.applyHostEvents (p.in_events);
    parameters.sendEditorEvents (p.out_events);

    if (p.audio_outputs_count == 0 || p.audio_outputs == nullptr || p.audio_outputs[0].data32 == nullptr)
        return CLAP_PROCESS_CONTINUE;

    auto& out = p.audio_outputs[0];
    const auto* in = p.audio_inputs_count > 0 && p.audio_inputs != nullptr && p.audio_inputs[0].data32 != nullptr ? &p.audio_inputs[0]
                                                                                                                  : nullptr;
    const auto numChannels = static_cast<int> (std::min (out.channel_count, std::uint32_t { 2 }));
    const auto inChannels = in != nullptr ? in->channel_count : 0u;

    for (std::uint32_t done = 0; done < p.frames_count && numChannels > 0;)
    {
        const auto count = std::min (maxBlock, p.frames_count - done);

        // A single input channel feeds both sides of a stereo output.
        for (int ch = 0; ch < numChannels; ++ch)
        {
            const float* source = inChannels > 0 ? in->data32[std::min (static_cast<std::uint32_t> (ch), inChannels - 1)] : nullptr;

            if (source != nullptr)
                std::copy (source + done, source + done + count, block.getWritePointer (ch));
            else
                std::fill (block.getWritePointer (ch), block.getWritePointer (ch) + count, 0.0f);
        }

        juce::AudioBuffer<float> piece (block.getArrayOfWritePointers(), numChannels, static_cast<int> (count));
        processor->processBlock (piece, noMidi);

        for (int ch = 0; ch < numChannels; ++ch)
            if (auto* destination = out.data32[ch])
                std::copy (block.getReadPointer (ch), block.getReadPointer (ch) + count, destination + done);

        done += count;
    }

    for (auto ch = static_cast<std::uint32_t> (numChannels); ch < out.channel_count; ++ch)
        if (auto* destination = out.data32[ch])
            std::fill (destination, destination + p.frames_count, 0.0f);

    out.constant_mask = 0;
    return CLAP_PROCESS_CONTINUE;
}

void ClapPlugin::flush (const clap_input_events_t* in, const clap_output_events_t* out) noexcept
{
    parameters.applyHostEvents (in);
    parameters.sendEditorEvents (out);

    // Inactive, the host flushes on the main thread, where the listeners may hear at once.
    if (! active)
        parameters.publishChanges();
}

//==============================================================================
bool ClapPlugin::saveState (const clap_ostream_t* stream)
{
    // What the host's events set reaches the value-tree state first, so the processor's
    // save writes what its blocks play.
    parameters.publishChanges();
    juce::MemoryBlock saved;
    processor->getStateInformation (saved);
    return Streams::writeAll (stream, saved.getData(), saved.getSize());
}

bool ClapPlugin::loadState (const clap_istream_t* stream)
{
    const auto bytes = Streams::readAll (stream);

    if (! bytes || bytes->getSize() > static_cast<std::size_t> (std::numeric_limits<int>::max())
        || ! HalvoraAudioProcessor::isReadableState (bytes->getData(), static_cast<int> (bytes->getSize())))
        return false;

    // A parameter the state leaves out keeps what the host's events last gave it.
    parameters.publishChanges();
    parameters.beginRestore();
    processor->setStateInformation (bytes->getData(), static_cast<int> (bytes->getSize()));
    parameters.endRestore();
    return true;
}

//==============================================================================
bool ClapPlugin::createGui (const char* api, bool isFloating)
{
    // The editor runs on the host's timers: without them nothing would draw it.
    if (gui != nullptr || api == nullptr || std::strcmp (api, CLAP_WINDOW_API_X11) != 0 || isFloating || hostTimers == nullptr
        || hostTimers->register_timer == nullptr)
        return false;

    constexpr std::uint32_t periodMs = 20;

    if (! hostTimers->register_timer (host, periodMs, &guiTimer))
        return false;

    gui = std::make_unique<ClapGui> (*processor);
    return true;
}

void ClapPlugin::destroyGui()
{
    if (gui == nullptr)
        return;

    if (hostTimers != nullptr && hostTimers->unregister_timer != nullptr)
        hostTimers->unregister_timer (host, guiTimer);

    guiTimer = CLAP_INVALID_ID;
    gui.reset();
}

bool ClapPlugin::setGuiParent (const clap_window_t* window)
{
    if (gui == nullptr || window == nullptr || window->api == nullptr || std::strcmp (window->api, CLAP_WINDOW_API_X11) != 0)
        return false;

    return gui->setParent (window->x11);
}

bool ClapPlugin::showGui (bool shown)
{
    if (gui == nullptr)
        return false;

    gui->setShown (shown);
    return true;
}

void ClapPlugin::onTimer (clap_id id)
{
    if (gui == nullptr || id != guiTimer)
        return;

    parameters.publishChanges();
    gui->runPendingMessages();
}

//==============================================================================
const void* ClapPlugin::extension (const clap_plugin_t*, const char* extensionId)
{
    static const clap_plugin_audio_ports_t audioPorts {
        [] (const clap_plugin_t*, bool) -> std::uint32_t { return 1; },
        [] (const clap_plugin_t*, std::uint32_t index, bool isInput, clap_audio_port_info_t* info) {
            if (index != 0 || info == nullptr)
                return false;

            *info = {};
            info->id = 0;
            std::strcpy (info->name, isInput ? "Input" : "Output");
            info->flags = CLAP_AUDIO_PORT_IS_MAIN;
            info->channel_count = 2;
            info->port_type = CLAP_PORT_STEREO;
            info->in_place_pair = 0;
            return true;
        },
    };

    static const clap_plugin_latency_t latency { [] (const clap_plugin_t*) -> std::uint32_t { return 0; } };

    static const clap_plugin_params_t params {
        [] (const clap_plugin_t*) { return ClapParameters::count; },
        [] (const clap_plugin_t* p, std::uint32_t index, clap_param_info_t* info) {
            return info != nullptr && of (p).parameters.getInfo (index, *info);
        },
        [] (const clap_plugin_t* p, clap_id id, double* value) { return value != nullptr && of (p).parameters.getValue (id, *value); },
        [] (const clap_plugin_t* p, clap_id id, double value, char* display, std::uint32_t size) {
            return of (p).parameters.valueToText (id, value, display, size);
        },
        [] (const clap_plugin_t* p, clap_id id, const char* display, double* value) {
            return value != nullptr && of (p).parameters.textToValue (id, display, *value);
        },
        [] (const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) { of (p).flush (in, out); },
    };

    static const clap_plugin_state_t state {
        [] (const clap_plugin_t* p, const clap_ostream_t* stream) { return of (p).saveState (stream); },
        [] (const clap_plugin_t* p, const clap_istream_t* stream) { return of (p).loadState (stream); },
    };

    static const clap_plugin_gui_t gui {
        [] (const clap_plugin_t*, const char* api, bool isFloating) {
            return api != nullptr && std::strcmp (api, CLAP_WINDOW_API_X11) == 0 && ! isFloating;
        },
        [] (const clap_plugin_t*, const char** api, bool* isFloating) {
            *api = CLAP_WINDOW_API_X11;
            *isFloating = false;
            return true;
        },
        [] (const clap_plugin_t* p, const char* api, bool isFloating) { return of (p).createGui (api, isFloating); },
        [] (const clap_plugin_t* p) { of (p).destroyGui(); },
        [] (const clap_plugin_t*, double) { return false; }, // the editor has one size
        [] (const clap_plugin_t*, std::uint32_t* width, std::uint32_t* height) {
            *width = ClapGui::width;
            *height = ClapGui::height;
            return true;
        },
        [] (const clap_plugin_t*) { return false; },
        [] (const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; },
        [] (const clap_plugin_t*, std::uint32_t* width, std::uint32_t* height) {
            *width = ClapGui::width;
            *height = ClapGui::height;
            return true;
        },
        [] (const clap_plugin_t*, std::uint32_t width, std::uint32_t height) { return width == ClapGui::width && height == ClapGui::height; },
        [] (const clap_plugin_t* p, const clap_window_t* window) { return of (p).setGuiParent (window); },
        [] (const clap_plugin_t*, const clap_window_t*) { return false; }, // embedded only
        [] (const clap_plugin_t*, const char*) {},
        [] (const clap_plugin_t* p) { return of (p).showGui (true); },
        [] (const clap_plugin_t* p) { return of (p).showGui (false); },
    };

    static const clap_plugin_timer_support_t timers { [] (const clap_plugin_t* p, clap_id timer) { of (p).onTimer (timer); } };

    if (extensionId == nullptr)
        return nullptr;

    const std::pair<const char*, const void*> extensions[] {
        { CLAP_EXT_AUDIO_PORTS, &audioPorts },
        { CLAP_EXT_LATENCY, &latency },
        { CLAP_EXT_PARAMS, &params },
        { CLAP_EXT_STATE, &state },
        { CLAP_EXT_GUI, &gui },
        { CLAP_EXT_TIMER_SUPPORT, &timers },
    };

    for (const auto& [name, table] : extensions)
        if (std::strcmp (extensionId, name) == 0)
            return table;

    return nullptr;
}

} // namespace halvora::clap
