// The LV2 plug-in's ON-target ports as a host feeds them, on the plug-in binary built beside
// this target: each input is the body of the on_target port's atom sequence (its stated size
// the input's, as a host states what it hands over), and the report port offers a room
// that the input's first byte sizes. Whatever the events claim, run() must come back and
// leave a sequence on the report port no bigger than its room, and the plug-in must still
// play.
//
// The message URIs are mapped here, before the plug-in is loaded, so that the committed
// seeds can name them: atom:Object 3, atom:Sequence 4, atom:eventTransfer 5, the plug-in's
// #OnTarget 6 and #target 7 (atom:Int is 2, mapped with the host's options).

#include "fuzz/Lv2FuzzHost.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
using lv2fuzz::mapUri;

// Mapped first, so that the seeds can name them (see above).
[[maybe_unused]] const bool messageUrisMapped = [] {
    for (const auto* uri : { LV2_ATOM__Object, LV2_ATOM__Sequence, LV2_ATOM__eventTransfer, HALVORA_LV2_URI "#OnTarget",
                             HALVORA_LV2_URI "#target" })
        mapUri (nullptr, uri);

    return true;
}();

const LV2_URID atomSequence = mapUri (nullptr, LV2_ATOM__Sequence);

// Port indices as the bundle lists them: four audio ports, eleven controls, the latency,
// then the ON target's input and its report.
constexpr std::uint32_t firstControl = 4, numControls = 11, onTargetPort = 16, reportPort = 17;

struct Ports
{
    std::vector<float> audio[4] { std::vector<float> (64), std::vector<float> (64), std::vector<float> (64), std::vector<float> (64) };
    float controls[numControls] {};
    float latency = 0.0f;
};

Ports& connectedPorts()
{
    static auto* ports = [] {
        auto* p = new Ports;
        const auto& plugin = lv2fuzz::plugin();

        for (std::uint32_t i = 0; i < 4; ++i)
            plugin.descriptor->connect_port (plugin.handle, i, p->audio[i].data());

        for (std::uint32_t i = 0; i < numControls; ++i)
        {
            // Mid-range values every control accepts: Vibrato Rate's range starts above 0.
            p->controls[i] = 1.0f;
            plugin.descriptor->connect_port (plugin.handle, firstControl + i, &p->controls[i]);
        }

        plugin.descriptor->connect_port (plugin.handle, firstControl + numControls, &p->latency);
        plugin.descriptor->activate (plugin.handle);
        return p;
    }();

    return *ports;
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    connectedPorts();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    const auto& plugin = lv2fuzz::plugin();
    auto& ports = connectedPorts();

    // The input as the sequence's body, in 8-byte words as hosts align atoms; the header
    // states exactly the input's size.
    std::vector<std::uint64_t> input (1 + (size + 7) / 8, 0);
    auto& sequence = *reinterpret_cast<LV2_Atom_Sequence*> (input.data());
    sequence.atom.type = atomSequence;
    sequence.atom.size = static_cast<std::uint32_t> (size);

    if (size > 0)
        std::memcpy (&sequence.body, data, size);

    // The report's room: from none at all to enough for a few answers.
    const auto room = static_cast<std::uint32_t> (size > 0 ? data[0] : 0);
    std::vector<std::uint64_t> report (1 + (room + 7) / 8, 0);
    auto& reportSequence = *reinterpret_cast<LV2_Atom_Sequence*> (report.data());
    reportSequence.atom.size = room;

    plugin.descriptor->connect_port (plugin.handle, onTargetPort, &sequence);
    plugin.descriptor->connect_port (plugin.handle, reportPort, &reportSequence);
    plugin.descriptor->run (plugin.handle, 64);

    const auto written = reportSequence.atom.size;
    const auto wroteSequence = reportSequence.atom.type == atomSequence;

    if ((wroteSequence && written > room) || (! wroteSequence && written != room))
        std::abort();

    // Each event the plug-in wrote lies inside what it says it wrote.
    const auto* body = reinterpret_cast<const char*> (&reportSequence.body);

    for (std::size_t at = sizeof (LV2_Atom_Sequence_Body); wroteSequence && at < written;)
    {
        if (at + sizeof (LV2_Atom_Event) > written)
            std::abort();

        const auto& event = *reinterpret_cast<const LV2_Atom_Event*> (body + at);
        const auto eventBytes = (sizeof (LV2_Atom_Event) + event.body.size + 7) & ~std::size_t { 7 };

        if (at + eventBytes > written)
            std::abort();

        at += eventBytes;
    }

    for (const auto& channel : ports.audio)
        for (const auto sample : channel)
            if (! (sample == sample))
                std::abort();

    // The next host's buffers are its own: nothing of these may be kept.
    plugin.descriptor->connect_port (plugin.handle, onTargetPort, nullptr);
    plugin.descriptor->connect_port (plugin.handle, reportPort, nullptr);
    return 0;
}
