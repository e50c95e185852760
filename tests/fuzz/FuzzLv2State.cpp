// The LV2 plug-in's state restore as a host calls it, on the plug-in binary built beside
// this target: each input is handed over as the state document's text and then as the first
// bundle's base64 state string (what a host read from a saved state.ttl). Whatever it holds,
// the restore must come back, and the plug-in must still store its state.

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> uris;

LV2_URID mapUri (LV2_URID_Map_Handle, const char* uri)
{
    for (size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri)
            return static_cast<LV2_URID> (i + 1);

    uris.emplace_back (uri);
    return static_cast<LV2_URID> (uris.size());
}

LV2_URID_Map map { nullptr, mapUri };
const std::int32_t maxBlock = 512;
LV2_Options_Option options[] {
    { LV2_OPTIONS_INSTANCE, 0, mapUri (nullptr, LV2_BUF_SIZE__maxBlockLength), sizeof (maxBlock), mapUri (nullptr, LV2_ATOM__Int), &maxBlock },
    { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
};
const LV2_Feature mapFeature { LV2_URID__map, &map };
const LV2_Feature optionsFeature { LV2_OPTIONS__options, options };
const LV2_Feature boundedFeature { LV2_BUF_SIZE__boundedBlockLength, nullptr };
const LV2_Feature* const features[] { &mapFeature, &optionsFeature, &boundedFeature, nullptr };

struct Plugin
{
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    const LV2_State_Interface* state = nullptr;
};

Plugin& plugin()
{
    static auto loaded = [] {
        Plugin p;
        auto* library = dlopen (HALVORA_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
        auto entry = library != nullptr ? reinterpret_cast<LV2_Descriptor_Function> (dlsym (library, "lv2_descriptor")) : nullptr;
        p.descriptor = entry != nullptr ? entry (0) : nullptr;
        p.handle = p.descriptor != nullptr ? p.descriptor->instantiate (p.descriptor, 48000.0, HALVORA_LV2_BUNDLE, features) : nullptr;

        if (p.handle != nullptr && p.descriptor->extension_data != nullptr)
            p.state = static_cast<const LV2_State_Interface*> (p.descriptor->extension_data (LV2_STATE__interface));

        if (p.state == nullptr)
            std::abort();

        return p;
    }();

    return loaded;
}

struct Input
{
    LV2_URID key;
    const char* data;
    size_t size;
};

const void* retrieve (LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
{
    const auto* input = static_cast<const Input*> (handle);

    if (key != input->key)
        return nullptr;

    *size = input->size;
    *type = mapUri (nullptr, LV2_ATOM__String);
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return input->data;
}

LV2_State_Status store (LV2_State_Handle, uint32_t, const void*, size_t, uint32_t, uint32_t)
{
    return LV2_STATE_SUCCESS;
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
    auto& p = plugin();

    for (const auto* key : { HALVORA_LV2_URI ":state", HALVORA_LV2_URI ":StateString" })
    {
        Input input { mapUri (nullptr, key), reinterpret_cast<const char*> (data), size };
        p.state->restore (p.handle, retrieve, &input, 0, features);

        if (p.state->save (p.handle, store, nullptr, 0, features) != LV2_STATE_SUCCESS)
            std::abort();
    }

    return 0;
}
