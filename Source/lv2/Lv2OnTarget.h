#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <optional>

namespace halvora::lv2
{

//==============================================================================
/** The message on which a window the host keeps apart from the plug-in (no instance access)
    tells the plug-in that plays which ON button is lit: an atom:Object of the type
    `<plug-in URI>#OnTarget` with one property, `<plug-in URI>#target`, an atom:Int from 0
    (none) to 4 (scale), as the processor counts its targets. It travels on the ON-target
    input port and is never saved, as the ON target never is.
*/
struct OnTargetUrids
{
    LV2_URID atomObject = 0, atomInt = 0, atomSequence = 0, eventTransfer = 0, messageType = 0, targetKey = 0;

    static OnTargetUrids map (const LV2_URID_Map&);
};

/** One message, laid out as the atom it is; its size is atomSize(). */
struct OnTargetMessage
{
    LV2_Atom_Object object {};
    LV2_Atom_Property_Body property {};
    std::int32_t target = 0;
    std::int32_t padding = 0;

    static OnTargetMessage make (const OnTargetUrids&, int target) noexcept;

    /** The bytes a host forwards: the object's header and its body. */
    std::uint32_t atomSize() const noexcept { return static_cast<std::uint32_t> (sizeof (LV2_Atom)) + object.atom.size; }
};

/** The target such a message carries, if the atom is one and the target one of the five. */
std::optional<int> readOnTarget (const OnTargetUrids&, const LV2_Atom& atom) noexcept;

/** The last target the sequence's messages carry, if any does. On the audio thread: no
    allocation, no lock.
*/
std::optional<int> lastOnTargetIn (const OnTargetUrids&, const LV2_Atom_Sequence& sequence) noexcept;

} // namespace halvora::lv2
