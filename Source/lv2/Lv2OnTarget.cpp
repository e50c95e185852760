#include "Lv2OnTarget.h"

#include "HalvoraVocabulary.h"

#include <cstring>
#include <string>

namespace halvora::lv2
{
namespace
{
    LV2_URID mapWithPluginUri (const LV2_URID_Map& map, const char* suffix)
    {
        return map.map (map.handle, (std::string (HALVORA_LV2_URI) + suffix).c_str());
    }

    constexpr int lastTarget = static_cast<int> (onTargetNames.size()) - 1;

    // Atoms and events take whole 8-byte words. In size_t, unlike LV2's 32-bit
    // lv2_atom_pad_size, so that a host's size near 4 GiB cannot wrap to a small step.
    constexpr std::size_t paddedSize (std::size_t bytes) noexcept
    {
        return (bytes + 7) & ~static_cast<std::size_t> (7);
    }
} // namespace

OnTargetUrids OnTargetUrids::map (const LV2_URID_Map& map)
{
    OnTargetUrids urids;
    urids.atomObject = map.map (map.handle, LV2_ATOM__Object);
    urids.atomInt = map.map (map.handle, LV2_ATOM__Int);
    urids.atomSequence = map.map (map.handle, LV2_ATOM__Sequence);
    urids.eventTransfer = map.map (map.handle, LV2_ATOM__eventTransfer);
    urids.messageType = mapWithPluginUri (map, "#OnTarget");
    urids.targetKey = mapWithPluginUri (map, "#target");
    return urids;
}

OnTargetMessage OnTargetMessage::make (const OnTargetUrids& urids, int target) noexcept
{
    OnTargetMessage message;
    message.object.atom.type = urids.atomObject;
    message.object.atom.size = static_cast<std::uint32_t> (sizeof (LV2_Atom_Object_Body) + sizeof (LV2_Atom_Property_Body)
                                                           + sizeof (std::int32_t));
    message.object.body.otype = urids.messageType;
    message.property.key = urids.targetKey;
    message.property.value.type = urids.atomInt;
    message.property.value.size = sizeof (std::int32_t);
    message.target = target;
    return message;
}

OnTargetMessage OnTargetMessage::question (const OnTargetUrids& urids) noexcept
{
    auto message = make (urids, 0);
    message.object.atom.size = sizeof (LV2_Atom_Object_Body);
    return message;
}

namespace
{
    bool isOnTargetObject (const OnTargetUrids& urids, const LV2_Atom& atom) noexcept
    {
        return atom.type == urids.atomObject && atom.size >= sizeof (LV2_Atom_Object_Body)
            && reinterpret_cast<const LV2_Atom_Object&> (atom).body.otype == urids.messageType;
    }
} // namespace

std::optional<int> readOnTarget (const OnTargetUrids& urids, const LV2_Atom& atom) noexcept
{
    if (! isOnTargetObject (urids, atom))
        return std::nullopt;

    const auto& object = reinterpret_cast<const LV2_Atom_Object&> (atom);

    // The properties follow the body's id and type, each padded to 8 bytes; each must lie
    // inside the object, its value too.
    const auto* position = reinterpret_cast<const char*> (&object.body + 1);
    const auto* const end = reinterpret_cast<const char*> (&object.body) + object.atom.size;
    std::optional<int> target;

    while (position + sizeof (LV2_Atom_Property_Body) <= end)
    {
        const auto& property = *reinterpret_cast<const LV2_Atom_Property_Body*> (position);
        const auto valueBytes = static_cast<std::size_t> (property.value.size);

        if (valueBytes > static_cast<std::size_t> (end - position) - sizeof (LV2_Atom_Property_Body))
            break;

        if (property.key == urids.targetKey && property.value.type == urids.atomInt && valueBytes == sizeof (std::int32_t))
        {
            std::int32_t value;
            std::memcpy (&value, position + sizeof (LV2_Atom_Property_Body), sizeof value);

            if (value >= 0 && value <= lastTarget)
                target = value;
        }

        position += paddedSize (sizeof (LV2_Atom_Property_Body) + valueBytes);
    }

    return target;
}

bool isOnTargetQuestion (const OnTargetUrids& urids, const LV2_Atom& atom) noexcept
{
    return atom.size == sizeof (LV2_Atom_Object_Body) && isOnTargetObject (urids, atom);
}

OnTargetInput readOnTargetInput (const OnTargetUrids& urids, const LV2_Atom_Sequence& sequence) noexcept
{
    // The events follow the sequence's body, each its time and its atom, padded to 8 bytes.
    const auto* position = reinterpret_cast<const char*> (&sequence.body + 1);
    const auto* const end = reinterpret_cast<const char*> (&sequence.body) + sequence.atom.size;
    OnTargetInput input;

    while (position + sizeof (LV2_Atom_Event) <= end)
    {
        const auto& event = *reinterpret_cast<const LV2_Atom_Event*> (position);
        const auto bodyBytes = static_cast<std::size_t> (event.body.size);

        if (bodyBytes > static_cast<std::size_t> (end - position) - sizeof (LV2_Atom_Event))
            break;

        if (const auto target = readOnTarget (urids, event.body))
            input.lastTarget = target;
        else if (isOnTargetQuestion (urids, event.body))
            input.asked = true;

        position += paddedSize (sizeof (LV2_Atom_Event) + bodyBytes);
    }

    return input;
}

bool writeOnTargetReport (const OnTargetUrids& urids, LV2_Atom_Sequence& port, std::optional<int> target) noexcept
{
    const auto capacity = static_cast<std::size_t> (port.atom.size);

    // Room for not even an empty sequence: a host that gave none, so nothing is written.
    if (capacity < sizeof (LV2_Atom_Sequence_Body))
        return false;

    port.atom.type = urids.atomSequence;
    port.atom.size = sizeof (LV2_Atom_Sequence_Body);
    port.body.unit = 0;
    port.body.pad = 0;

    if (! target)
        return false;

    const auto message = OnTargetMessage::make (urids, *target);
    const auto eventBytes = paddedSize (sizeof (LV2_Atom_Event) - sizeof (LV2_Atom) + message.atomSize());

    if (capacity < sizeof (LV2_Atom_Sequence_Body) + eventBytes)
        return false;

    auto* event = reinterpret_cast<LV2_Atom_Event*> (&port.body + 1);
    event->time.frames = 0;
    std::memcpy (&event->body, &message, message.atomSize());
    port.atom.size += static_cast<std::uint32_t> (eventBytes);
    return true;
}

} // namespace halvora::lv2
