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

    The same object without the property is a question: a window opening asks which target
    the plug-in plays with, so that it lights that button, and the plug-in answers with the
    message on its ON-target report port.
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

    /** The question: the object without its property. */
    static OnTargetMessage question (const OnTargetUrids&) noexcept;

    /** The bytes a host forwards: the object's header and its body. */
    std::uint32_t atomSize() const noexcept { return static_cast<std::uint32_t> (sizeof (LV2_Atom)) + object.atom.size; }
};

/** The target such a message carries, if the atom is one and the target one of the five. */
std::optional<int> readOnTarget (const OnTargetUrids&, const LV2_Atom& atom) noexcept;

/** Whether the atom is the question (an ON-target object carrying no target). */
bool isOnTargetQuestion (const OnTargetUrids&, const LV2_Atom& atom) noexcept;

/** What a run's ON-target input holds: the last target its messages carry, if any does,
    and whether a window asked for the target.
*/
struct OnTargetInput
{
    std::optional<int> lastTarget;
    bool asked = false;
};

/** Reads the input port's sequence, trusting no size in it beyond its own. On the audio
    thread: no allocation, no lock.
*/
OnTargetInput readOnTargetInput (const OnTargetUrids&, const LV2_Atom_Sequence& sequence) noexcept;

/** Fills the report port's sequence for one run: empty, or with the answer (the message
    for `target`) at frame 0 when there is one and the host's buffer, whose capacity the
    port's atom size gives on entry, holds it. A buffer without room for an empty sequence
    is left as it is. Returns whether the answer went out.
*/
bool writeOnTargetReport (const OnTargetUrids&, LV2_Atom_Sequence& port, std::optional<int> target) noexcept;

} // namespace halvora::lv2
