// The CLAP plug-in's state load as a host calls it, on Halvora.clap built beside this
// target: the input's first byte is the most a read of the stream hands out (0: all that is
// asked for), the rest is the stream's content. Whatever it holds, the load must come back,
// and the plug-in must still save its state.

#include "clap/ClapTestHost.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
claphost::Instance& plugin()
{
    static claphost::Host host;
    static claphost::Instance* const loaded = new claphost::Instance (claphost::factoryOf (claphost::loadEntry (HALVORA_CLAP_BINARY)),
                                                                      host, "org.halvora.halvora");

    if (! loaded->isLoaded())
        std::abort();

    return *loaded;
}
} // namespace

// Loaded before fuzzing starts, so that the plug-in's coverage counts from the first input.
extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    plugin();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;

    auto& p = plugin();
    claphost::InStream stream (std::string (reinterpret_cast<const char*> (data) + 1, size - 1), data[0]);
    p.state->load (p.plugin, &stream.stream);

    if (p.save().empty())
        std::abort();

    return 0;
}
