#pragma once

// A small CLAP host of ours on the same API headers, for the tests: the plug-in found
// through its entry point (in a library loaded with dlopen) or made in process, its
// extensions, event lists in and out, the host's timer, parameter and state extensions,
// and streams that hand the bytes over in pieces. No framework on the host side.

#include <clap/entry.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/timer-support.h>
#include <clap/plugin-factory.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace claphost
{

//==============================================================================
/** The entry of a CLAP library, loaded once and kept (as hosts keep plug-ins loaded). */
inline const clap_plugin_entry_t* loadEntry (const char* path)
{
    void* library = dlopen (path, RTLD_NOW | RTLD_LOCAL);

    if (library == nullptr)
        return nullptr;

    const auto* entry = static_cast<const clap_plugin_entry_t*> (dlsym (library, "clap_entry"));

    if (entry == nullptr || ! entry->init (path))
        return nullptr;

    return entry;
}

inline const clap_plugin_factory_t* factoryOf (const clap_plugin_entry_t* entry)
{
    return entry != nullptr ? static_cast<const clap_plugin_factory_t*> (entry->get_factory (CLAP_PLUGIN_FACTORY_ID)) : nullptr;
}

//==============================================================================
/** What the host side records and offers: timers, flush requests, rescans. */
struct Host
{
    Host()
    {
        host.host_data = this;
        host.get_extension = [] (const clap_host_t* h, const char* id) -> const void* {
            auto& self = *static_cast<Host*> (h->host_data);

            if (std::strcmp (id, CLAP_EXT_TIMER_SUPPORT) == 0 && self.offersTimers)
                return &self.timers;
            if (std::strcmp (id, CLAP_EXT_PARAMS) == 0)
                return &self.params;

            return nullptr;
        };
        host.request_restart = [] (const clap_host_t*) {};
        host.request_process = [] (const clap_host_t*) {};
        host.request_callback = [] (const clap_host_t*) {};
    }

    Host (const Host&) = delete;

    clap_host_t host { CLAP_VERSION_INIT, nullptr, "halvora-test-host", "Halvora", "", "1", nullptr, nullptr, nullptr, nullptr };
    bool offersTimers = true;
    std::vector<std::uint32_t> timerPeriods; // index + 1 is the timer's id
    int flushRequests = 0;
    int valueRescans = 0;

    clap_host_timer_support_t timers {
        [] (const clap_host_t* h, std::uint32_t period, clap_id* id) {
            auto& self = *static_cast<Host*> (h->host_data);
            self.timerPeriods.push_back (period);
            *id = static_cast<clap_id> (self.timerPeriods.size());
            return true;
        },
        [] (const clap_host_t* h, clap_id id) {
            auto& self = *static_cast<Host*> (h->host_data);
            if (id == 0 || id > self.timerPeriods.size())
                return false;
            self.timerPeriods[id - 1] = 0;
            return true;
        },
    };

    clap_host_params_t params {
        [] (const clap_host_t* h, clap_param_rescan_flags flags) {
            if ((flags & CLAP_PARAM_RESCAN_VALUES) != 0)
                ++static_cast<Host*> (h->host_data)->valueRescans;
        },
        [] (const clap_host_t*, clap_id, clap_param_clear_flags) {},
        [] (const clap_host_t* h) { ++static_cast<Host*> (h->host_data)->flushRequests; },
    };
};

//==============================================================================
/** Parameter value events for one process or flush call. */
class InputEvents
{
public:
    InputEvents()
    {
        list.ctx = this;
        list.size = [] (const clap_input_events_t* l) { return static_cast<std::uint32_t> (static_cast<InputEvents*> (l->ctx)->events.size()); };
        list.get = [] (const clap_input_events_t* l, std::uint32_t i) -> const clap_event_header_t* {
            return &static_cast<InputEvents*> (l->ctx)->events.at (i).header;
        };
    }

    InputEvents (const InputEvents& other)
        : InputEvents()
    {
        events = other.events;
    }

    InputEvents& operator= (const InputEvents&) = delete;

    void add (clap_id id, double value, std::uint32_t time = 0)
    {
        clap_event_param_value_t e {};
        e.header = { sizeof (e), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0 };
        e.param_id = id;
        e.note_id = -1;
        e.port_index = -1;
        e.channel = -1;
        e.key = -1;
        e.value = value;
        events.push_back (e);
    }

    void clear() { events.clear(); }

    clap_input_events_t list {};
    std::vector<clap_event_param_value_t> events;
};

/** What the plug-in sends: parameter values and gestures, in order. */
class OutputEvents
{
public:
    struct Event
    {
        std::uint16_t type;
        clap_id id;
        double value;
    };

    OutputEvents()
    {
        list.ctx = this;
        list.try_push = [] (const clap_output_events_t* l, const clap_event_header_t* h) {
            auto& self = *static_cast<OutputEvents*> (l->ctx);

            if (h->space_id != CLAP_CORE_EVENT_SPACE_ID)
                return false;

            if (h->type == CLAP_EVENT_PARAM_VALUE && h->size >= sizeof (clap_event_param_value_t))
            {
                const auto& e = *reinterpret_cast<const clap_event_param_value_t*> (h);
                self.events.push_back ({ h->type, e.param_id, e.value });
                return true;
            }

            if ((h->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || h->type == CLAP_EVENT_PARAM_GESTURE_END)
                && h->size >= sizeof (clap_event_param_gesture_t))
            {
                self.events.push_back ({ h->type, reinterpret_cast<const clap_event_param_gesture_t*> (h)->param_id, 0.0 });
                return true;
            }

            return false;
        };
    }

    OutputEvents (const OutputEvents&) = delete;

    clap_output_events_t list {};
    std::vector<Event> events;
};

//==============================================================================
/** A stream over bytes of ours: reads hand out at most maxPiece bytes (0: all that is
    asked), and a read fails once failAfter bytes have gone out, if set.
*/
class InStream
{
public:
    explicit InStream (std::string content, std::uint64_t maxPiece = 0, long long failAfter = -1)
        : bytes (std::move (content)),
          piece (maxPiece),
          failAt (failAfter)
    {
        stream.ctx = this;
        stream.read = [] (const clap_istream_t* s, void* buffer, std::uint64_t size) -> std::int64_t {
            auto& self = *static_cast<InStream*> (s->ctx);

            if (self.failAt >= 0 && self.position >= static_cast<std::uint64_t> (self.failAt))
                return -1;

            auto n = std::min<std::uint64_t> (size, self.bytes.size() - self.position);
            if (self.piece > 0)
                n = std::min (n, self.piece);

            std::memcpy (buffer, self.bytes.data() + self.position, n);
            self.position += n;
            ++self.reads;
            return static_cast<std::int64_t> (n);
        };
    }

    InStream (const InStream&) = delete;

    clap_istream_t stream {};
    std::string bytes;
    std::uint64_t piece;
    long long failAt;
    std::uint64_t position = 0;
    int reads = 0;
};

/** A stream that goes on for ever, every byte a space. */
inline clap_istream_t endlessStream()
{
    return { nullptr, [] (const clap_istream_t*, void* buffer, std::uint64_t size) -> std::int64_t {
                std::memset (buffer, ' ', size);
                return static_cast<std::int64_t> (size);
            } };
}

/** Collects what the plug-in writes, at most maxPiece bytes a call (0: all). */
class OutStream
{
public:
    explicit OutStream (std::uint64_t maxPiece = 0)
        : piece (maxPiece)
    {
        stream.ctx = this;
        stream.write = [] (const clap_ostream_t* s, const void* buffer, std::uint64_t size) -> std::int64_t {
            auto& self = *static_cast<OutStream*> (s->ctx);
            const auto n = self.piece > 0 ? std::min (size, self.piece) : size;
            self.bytes.append (static_cast<const char*> (buffer), n);
            return static_cast<std::int64_t> (n);
        };
    }

    OutStream (const OutStream&) = delete;

    clap_ostream_t stream {};
    std::string bytes;
    std::uint64_t piece;
};

//==============================================================================
/** One plug-in instance with its extensions and stereo buffers of ours. */
class Instance
{
public:
    Instance (const clap_plugin_t* p, Host& h)
        : plugin (p),
          host (h)
    {
        if (plugin == nullptr || ! plugin->init (plugin))
        {
            plugin = nullptr;
            return;
        }

        params = static_cast<const clap_plugin_params_t*> (plugin->get_extension (plugin, CLAP_EXT_PARAMS));
        state = static_cast<const clap_plugin_state_t*> (plugin->get_extension (plugin, CLAP_EXT_STATE));
        ports = static_cast<const clap_plugin_audio_ports_t*> (plugin->get_extension (plugin, CLAP_EXT_AUDIO_PORTS));
        latency = static_cast<const clap_plugin_latency_t*> (plugin->get_extension (plugin, CLAP_EXT_LATENCY));
        gui = static_cast<const clap_plugin_gui_t*> (plugin->get_extension (plugin, CLAP_EXT_GUI));
        timer = static_cast<const clap_plugin_timer_support_t*> (plugin->get_extension (plugin, CLAP_EXT_TIMER_SUPPORT));
    }

    /** From the library's factory, by the plug-in's id. */
    Instance (const clap_plugin_factory_t* factory, Host& h, const char* id)
        : Instance (factory != nullptr ? factory->create_plugin (factory, &h.host, id) : nullptr, h)
    {
    }

    ~Instance()
    {
        if (plugin == nullptr)
            return;

        if (active)
            plugin->deactivate (plugin);

        plugin->destroy (plugin);
    }

    Instance (const Instance&) = delete;

    bool isLoaded() const { return plugin != nullptr; }

    bool activate (double rate, std::uint32_t maxFrames)
    {
        active = plugin->activate (plugin, rate, 1, maxFrames);
        return active && plugin->start_processing (plugin);
    }

    /** One process call over channels of ours (1 or 2 each way), the events first. */
    clap_process_status process (std::vector<float*> in, std::vector<float*> out, std::uint32_t frames, const InputEvents& events,
                                 OutputEvents* sent = nullptr)
    {
        return process (in.data(), static_cast<std::uint32_t> (in.size()), out.data(), static_cast<std::uint32_t> (out.size()), frames,
                        events, sent);
    }

    /** The same on arrays of channel pointers: allocates nothing on the host's side. */
    clap_process_status process (float** in, std::uint32_t numIn, float** out, std::uint32_t numOut, std::uint32_t frames,
                                 const InputEvents& events, OutputEvents* sent = nullptr)
    {
        clap_audio_buffer_t input { in, nullptr, numIn, 0, 0 };
        clap_audio_buffer_t output { out, nullptr, numOut, 0, 0 };
        OutputEvents ignored;
        clap_process_t p {};
        p.steady_time = -1;
        p.frames_count = frames;
        p.audio_inputs = &input;
        p.audio_outputs = &output;
        p.audio_inputs_count = 1;
        p.audio_outputs_count = 1;
        p.in_events = &events.list;
        p.out_events = sent != nullptr ? &sent->list : &ignored.list;
        return plugin->process (plugin, &p);
    }

    double value (clap_id id) const
    {
        double v = -12345.0;
        params->get_value (plugin, id, &v);
        return v;
    }

    std::string text (clap_id id, double plain) const
    {
        char display[256] {};
        return params->value_to_text (plugin, id, plain, display, sizeof (display)) ? std::string (display) : std::string ("<refused>");
    }

    void flush (const InputEvents& events, OutputEvents* sent = nullptr)
    {
        OutputEvents ignored;
        params->flush (plugin, &events.list, sent != nullptr ? &sent->list : &ignored.list);
    }

    std::string save()
    {
        OutStream out;
        return state->save (plugin, &out.stream) ? out.bytes : std::string();
    }

    const clap_plugin_t* plugin;
    Host& host;
    bool active = false;
    const clap_plugin_params_t* params = nullptr;
    const clap_plugin_state_t* state = nullptr;
    const clap_plugin_audio_ports_t* ports = nullptr;
    const clap_plugin_latency_t* latency = nullptr;
    const clap_plugin_gui_t* gui = nullptr;
    const clap_plugin_timer_support_t* timer = nullptr;
};

} // namespace claphost
