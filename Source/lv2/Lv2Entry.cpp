// The two entry points an LV2 host looks up in libHalvora.so: the plug-in and its UI.

#include "lv2/Lv2Instance.h"
#include "lv2/Lv2Ui.h"

#include <lv2/ui/ui.h>

#include <cstring>

namespace
{
using halvora::lv2::Lv2Instance;
using halvora::lv2::Lv2Ui;

Lv2Instance& instanceOf (LV2_Handle handle)
{
    return *static_cast<Lv2Instance*> (handle);
}

const void* pluginExtensionData (const char* uri)
{
    static const LV2_State_Interface state {
        [] (LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle stateHandle, std::uint32_t,
            const LV2_Feature* const*) { return instanceOf (handle).save (store, stateHandle); },
        [] (LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle stateHandle, std::uint32_t,
            const LV2_Feature* const*) { return instanceOf (handle).restore (retrieve, stateHandle); }
    };

    if (uri != nullptr && std::strcmp (uri, LV2_STATE__interface) == 0)
        return &state;

    return nullptr;
}

const LV2_Descriptor pluginDescriptor {
    HALVORA_LV2_URI,
    [] (const LV2_Descriptor*, double sampleRate, const char*,
        const LV2_Feature* const* features) -> LV2_Handle { return Lv2Instance::create (sampleRate, features).release(); },
    [] (LV2_Handle handle, std::uint32_t port, void* data) { instanceOf (handle).connectPort (port, data); },
    [] (LV2_Handle handle) { instanceOf (handle).activate(); },
    [] (LV2_Handle handle, std::uint32_t numSamples) { instanceOf (handle).run (numSamples); },
    [] (LV2_Handle handle) { instanceOf (handle).deactivate(); },
    [] (LV2_Handle handle) { delete static_cast<Lv2Instance*> (handle); },
    pluginExtensionData
};

//==============================================================================
Lv2Ui& uiOf (LV2UI_Handle handle)
{
    return *static_cast<Lv2Ui*> (handle);
}

const void* uiExtensionData (const char* uri)
{
    static const LV2UI_Idle_Interface idle { [] (LV2UI_Handle handle) { return uiOf (handle).idle(); } };

    if (uri != nullptr && std::strcmp (uri, LV2_UI__idleInterface) == 0)
        return &idle;

    return nullptr;
}

const LV2UI_Descriptor uiDescriptor {
    HALVORA_LV2_URI ":UI",
    [] (const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
        const LV2_Feature* const* features) -> LV2UI_Handle { return Lv2Ui::create (write, controller, widget, features).release(); },
    [] (LV2UI_Handle handle) { delete static_cast<Lv2Ui*> (handle); },
    [] (LV2UI_Handle handle, std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format,
        const void* buffer) { uiOf (handle).portEvent (port, bufferSize, format, buffer); },
    uiExtensionData
};
} // namespace

extern "C"
{
    LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (std::uint32_t index)
    {
        return index == 0 ? &pluginDescriptor : nullptr;
    }

    LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (std::uint32_t index)
    {
        return index == 0 ? &uiDescriptor : nullptr;
    }
}
