// The LV2 plug-in's state restore as a host calls it, on the plug-in binary built beside
// this target: each input is handed over as the state document's text and then as the first
// bundle's base64 state string (what a host read from a saved state.ttl). Whatever it holds,
// the restore must come back, and the plug-in must still store its state.

#include "fuzz/Lv2FuzzHost.h"

#include <lv2/state/state.h>

#include <cstdint>
#include <cstdlib>

namespace
{
using lv2fuzz::features;
using lv2fuzz::mapUri;

/** The plug-in's state interface; the target stops without one. */
const LV2_State_Interface& stateInterface()
{
    static const auto* const state = [] {
        const auto& p = lv2fuzz::plugin();
        const auto* found = p.descriptor->extension_data != nullptr
                              ? static_cast<const LV2_State_Interface*> (p.descriptor->extension_data (LV2_STATE__interface))
                              : nullptr;

        if (found == nullptr)
            std::abort();

        return found;
    }();

    return *state;
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
    stateInterface();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    const auto& p = lv2fuzz::plugin();
    const auto& state = stateInterface();

    for (const auto* key : { HALVORA_LV2_URI ":state", HALVORA_LV2_URI ":StateString" })
    {
        Input input { mapUri (nullptr, key), reinterpret_cast<const char*> (data), size };
        state.restore (p.handle, retrieve, &input, 0, features);

        if (state.save (p.handle, store, nullptr, 0, features) != LV2_STATE_SUCCESS)
            std::abort();
    }

    return 0;
}
