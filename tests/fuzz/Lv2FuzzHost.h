#pragma once

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

//==============================================================================
/** What the fuzz targets that drive the built LV2 plug-in share: a host's URID map, the
    features it offers (the map, a maximum block length of 512, bounded blocks), and the
    plug-in instantiated once from the binary beside the target. URIDs are numbered from 1
    in the order they are first asked for, the maximum block length's two first.
*/
namespace lv2fuzz
{

inline std::vector<std::string> uris;

inline LV2_URID mapUri (LV2_URID_Map_Handle, const char* uri)
{
    for (size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri)
            return static_cast<LV2_URID> (i + 1);

    uris.emplace_back (uri);
    return static_cast<LV2_URID> (uris.size());
}

inline LV2_URID_Map map { nullptr, mapUri };
inline const std::int32_t maxBlock = 512;
inline LV2_Options_Option options[] {
    { LV2_OPTIONS_INSTANCE, 0, mapUri (nullptr, LV2_BUF_SIZE__maxBlockLength), sizeof (maxBlock), mapUri (nullptr, LV2_ATOM__Int), &maxBlock },
    { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
};
inline const LV2_Feature mapFeature { LV2_URID__map, &map };
inline const LV2_Feature optionsFeature { LV2_OPTIONS__options, options };
inline const LV2_Feature boundedFeature { LV2_BUF_SIZE__boundedBlockLength, nullptr };
inline const LV2_Feature* const features[] { &mapFeature, &optionsFeature, &boundedFeature, nullptr };

struct Plugin
{
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
};

/** The plug-in, loaded and instantiated at 48 kHz on first use; the target stops if it
    cannot be, as a fuzzer finding nothing would mislead.
*/
inline Plugin& plugin()
{
    static auto loaded = [] {
        Plugin p;
        auto* library = dlopen (HALVORA_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
        auto entry = library != nullptr ? reinterpret_cast<LV2_Descriptor_Function> (dlsym (library, "lv2_descriptor")) : nullptr;
        p.descriptor = entry != nullptr ? entry (0) : nullptr;
        p.handle = p.descriptor != nullptr ? p.descriptor->instantiate (p.descriptor, 48000.0, HALVORA_LV2_BUNDLE, features) : nullptr;

        if (p.handle == nullptr)
            std::abort();

        return p;
    }();

    return loaded;
}

} // namespace lv2fuzz
