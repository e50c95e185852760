#pragma once

#include <lv2/urid/urid.h>

#include <string>
#include <vector>

namespace testutil
{
/** The URID map (and unmap) a small LV2 host of ours offers: each URI gets the next number
    from 1, the first time it is asked for.
*/
struct UridTable
{
    std::vector<std::string> uris;

    static LV2_URID map (LV2_URID_Map_Handle handle, const char* uri)
    {
        auto& uris = static_cast<UridTable*> (handle)->uris;

        for (size_t i = 0; i < uris.size(); ++i)
            if (uris[i] == uri)
                return static_cast<LV2_URID> (i + 1);

        uris.emplace_back (uri);
        return static_cast<LV2_URID> (uris.size());
    }

    static const char* unmap (LV2_URID_Unmap_Handle handle, LV2_URID urid)
    {
        auto& uris = static_cast<UridTable*> (handle)->uris;
        return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
    }
};
} // namespace testutil
