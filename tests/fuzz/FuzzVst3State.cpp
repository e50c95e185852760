// The VST3 component's setState as a host calls it, on the plug-in binary built beside this
// target: the input's first byte is the most a read of the stream hands out (0: all at
// once), the rest is the stream's content. Whatever it holds, the component must come
// back, and its state must still be readable.

#include "hosts/Vst3MiniHost.h"

#include <cstdint>
#include <cstdlib>

namespace
{
Steinberg::Vst::IComponent& component()
{
    static auto* const loaded = vst3host::loadComponent (HALVORA_VST3_BINARY);

    if (loaded == nullptr)
        std::abort();

    return *loaded;
}
} // namespace

// Loaded before fuzzing starts, so that the plug-in's coverage counts from the first input.
extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    component();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;

    vst3host::PieceStream stream (std::string (reinterpret_cast<const char*> (data) + 1, size - 1), data[0]);
    component().setState (&stream);

    vst3host::PieceStream saved;

    if (component().getState (&saved) != Steinberg::kResultTrue)
        std::abort();

    return 0;
}
