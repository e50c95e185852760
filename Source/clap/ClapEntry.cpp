// The one symbol a CLAP host looks up in Halvora.clap: the entry, whose factory makes the
// one plug-in.

#include "clap/ClapPlugin.h"

#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <cstring>

namespace
{
using halvora::clap::ClapPlugin;
using halvora::clap::descriptor;

const clap_plugin_factory_t factory {
    [] (const clap_plugin_factory_t*) -> std::uint32_t { return 1; },
    [] (const clap_plugin_factory_t*, std::uint32_t index) { return index == 0 ? &descriptor() : nullptr; },
    [] (const clap_plugin_factory_t*, const clap_host_t* host, const char* id) -> const clap_plugin_t* {
        if (id == nullptr || std::strcmp (id, descriptor().id) != 0)
            return nullptr;

        return ClapPlugin::create (host);
    },
};
} // namespace

extern "C"
{
    CLAP_EXPORT extern const clap_plugin_entry_t clap_entry;

    const clap_plugin_entry_t clap_entry {
        CLAP_VERSION_INIT,
        [] (const char*) { return true; },
        [] {},
        [] (const char* id) -> const void* { return id != nullptr && std::strcmp (id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &factory : nullptr; },
    };
}
