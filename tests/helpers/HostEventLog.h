#pragma once

#include "au/AudioUnitAPI.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

/** A host's record of the events its instances send through AUEventListenerNotify, for
    the hosts of this project (halvora-auval and the tests). Such a host defines that
    function and hands each event to add().
*/
namespace HostEventLog
{
inline std::mutex& lock()
{
    static std::mutex m;
    return m;
}

inline std::vector<AudioUnitEvent>& events()
{
    static std::vector<AudioUnitEvent> e;
    return e;
}

inline OSStatus add (const AudioUnitEvent* event)
{
    if (event == nullptr)
        return kAudio_ParamError;

    const std::lock_guard<std::mutex> guard (lock());
    events().push_back (*event);
    return noErr;
}

/** Every event since the last call, in order. */
inline std::vector<AudioUnitEvent> take()
{
    const std::lock_guard<std::mutex> guard (lock());
    return std::exchange (events(), {});
}

/** The events of one kind for one parameter among `list`. */
inline int count (const std::vector<AudioUnitEvent>& list, AudioUnitEventType type, AudioUnitParameterID id)
{
    const auto matches = [&] (const AudioUnitEvent& e) { return e.mEventType == type && e.mArgument.mParameter.mParameterID == id; };
    return static_cast<int> (std::count_if (list.begin(), list.end(), matches));
}
}
