#pragma once

// How the unit's properties pass values to and from the host: a value answered into the
// host's buffer, and a value the host sets, read, checked, stored and reported to the
// property's listeners in one way for every writable property.

#include "AudioUnitAPI.h"

#include <cstring>

namespace AUProperty
{

/** Answers a property with `value`: refused unless the host's buffer has room for it. */
template <typename T>
OSStatus write (void* outData, UInt32* ioDataSize, const T& value)
{
    if (outData == nullptr || ioDataSize == nullptr || *ioDataSize < sizeof (T))
        return kAudio_ParamError;

    std::memcpy (outData, &value, sizeof (T));
    *ioDataSize = sizeof (T);
    return noErr;
}

/** What a setter made of the host's value: the status it answers, and whether what the
    unit holds changed, which is what the listeners are told about.
*/
struct Taken
{
    OSStatus status;
    bool changed;

    static constexpr Taken change() noexcept { return { noErr, true }; }
    static constexpr Taken noChange() noexcept { return { noErr, false }; }
    static constexpr Taken refusal (OSStatus why) noexcept { return { why, false }; }
};

/** Stores a setting that holds still while the unit is initialised: the value it has already
    is no change, and another one is refused until the unit is uninitialised again.
*/
template <typename T>
Taken storeUnlessInitialised (T& held, T wanted, bool initialised)
{
    if (wanted == held)
        return Taken::noChange();

    if (initialised)
        return Taken::refusal (kAudioUnitErr_Initialized);

    held = wanted;
    return Taken::change();
}

/** A value the host sets: read as a T (nothing there, or fewer bytes than a T, answers
    `whenMissing` before anything is looked at), checked and stored by `take`, which returns
    what it made of it; a change taken without error is then reported by `tell`, on the
    setter's thread, once everything is stored.
*/
template <typename T, typename Take, typename Tell>
OSStatus take (const void* inData, UInt32 inDataSize, OSStatus whenMissing, Take&& takeValue, Tell&& tell)
{
    if (inData == nullptr || inDataSize < sizeof (T))
        return whenMissing;

    const auto taken = takeValue (*static_cast<const T*> (inData));

    if (taken.status == noErr && taken.changed)
        tell();

    return taken.status;
}

} // namespace AUProperty
