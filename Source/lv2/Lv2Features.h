#pragma once

#include <lv2/core/lv2.h>

#include <cstring>

namespace halvora::lv2
{

/** The data of the host's feature with this URI, or null when the host offers none. */
inline const void* findFeature (const LV2_Feature* const* features, const char* uri) noexcept
{
    if (features == nullptr)
        return nullptr;

    for (auto* const* f = features; *f != nullptr; ++f)
        if ((*f)->URI != nullptr && std::strcmp ((*f)->URI, uri) == 0)
            return (*f)->data;

    return nullptr;
}

} // namespace halvora::lv2
