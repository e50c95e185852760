#include "ClapPlugin.h"

#include <clap/plugin-features.h>

namespace halvora::clap
{

const clap_plugin_descriptor_t& descriptor() noexcept
{
    static const char* const features[] {
        CLAP_PLUGIN_FEATURE_AUDIO_EFFECT,
        CLAP_PLUGIN_FEATURE_PITCH_CORRECTION,
        CLAP_PLUGIN_FEATURE_STEREO,
        CLAP_PLUGIN_FEATURE_MONO,
        nullptr,
    };

    // The id never changes: hosts name the plug-in by it in every saved project.
    static const clap_plugin_descriptor_t d {
        CLAP_VERSION_INIT,
        "org.halvora.halvora",
        "Halvora",
        "Halvora Audio",
        "",
        "",
        "",
        HALVORA_VERSION_STRING,
        "Real-time vocal effect: pitch correction to a key and scale, formant, vibrato, gain, echo and reverb",
        const_cast<const char**> (features),
    };

    return d;
}

} // namespace halvora::clap
