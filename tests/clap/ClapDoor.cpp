#include "clap/ClapDoor.h"

#include "clap/ClapPlugin.h"
#include "clap/ClapTestHost.h"

#include "HalvoraVocabulary.h"

#include <cstring>
#include <vector>

namespace clapdoor
{

float heldAfterEvent (const char* id, double plain)
{
    clap_id index = 0;

    while (index < halvora::parameterIDs.size() && std::strcmp (halvora::parameterIDs[index], id) != 0)
        ++index;

    claphost::Host host;
    claphost::Instance plugin (halvora::clap::ClapPlugin::create (&host.host), host);

    if (! plugin.isLoaded() || ! plugin.activate (44100.0, 64))
        return -12345.0f;

    std::vector<float> in (64, 0.1f), left (64), right (64);
    claphost::InputEvents events;
    events.add (index, plain);
    plugin.process ({ in.data(), in.data() }, { left.data(), right.data() }, 64, events);
    return static_cast<float> (plugin.value (index));
}

} // namespace clapdoor
