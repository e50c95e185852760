#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace testutil
{
/** An atom sequence port's buffer as a host fills it: atoms added as events at frame 0,
    each event padded to 8 bytes. Holds 1 KiB; the tests' messages take a few dozen bytes.
*/
class AtomSequenceBuffer
{
public:
    explicit AtomSequenceBuffer (LV2_URID sequenceType)
    {
        sequence()->atom.type = sequenceType;
        sequence()->atom.size = sizeof (LV2_Atom_Sequence_Body);
    }

    /** Adds `atomBytes` bytes from `atom` (its header and body) as the next event. */
    void add (const void* atom, std::uint32_t atomBytes)
    {
        auto* seq = sequence();
        auto* event = reinterpret_cast<LV2_Atom_Event*> (reinterpret_cast<char*> (&seq->body) + seq->atom.size);
        event->time.frames = 0;
        std::memcpy (&event->body, atom, atomBytes);
        seq->atom.size += static_cast<std::uint32_t> (sizeof (event->time)) + ((atomBytes + 7u) & ~7u);
    }

    LV2_Atom_Sequence* sequence() { return reinterpret_cast<LV2_Atom_Sequence*> (storage.data()); }

private:
    std::vector<std::uint64_t> storage = std::vector<std::uint64_t> (128, 0);
};
} // namespace testutil
