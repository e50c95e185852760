#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/** The Turtle files of Halvora's LV2 bundle, written from the vocabulary and the port table
    (Lv2Ports.h), so a parameter, its range or a port index is spelt once, in C++, and the
    plug-in, its UI and its metadata cannot disagree.

    The bundle holds one binary, libHalvora.so, with both the plug-in and its X11 UI.
*/
namespace halvora::lv2
{

/** The project's version, major.minor.micro. LV2 hosts compare the minor and micro
    numbers; the whole text is the release.
*/
struct ProjectVersion
{
    std::string text;
    long long major = 0, minor = 0, micro = 0;
};

/** Reads "major.minor.micro" (three non-negative numbers); nothing for anything else. */
std::optional<ProjectVersion> parseProjectVersion (std::string_view text);

struct BundleIdentity
{
    std::string pluginUri;
    ProjectVersion version;

    std::string uiUri() const { return pluginUri + ":UI"; }
    std::string presetUri() const { return pluginUri + ":preset1"; }
};

struct TurtleFile
{
    std::string name;
    std::string text;
};

/** What hosts read first: the plug-in, the UI and the preset, each with the file that
    describes it.
*/
std::string manifestTurtle (const BundleIdentity& bundle);

/** The plug-in: what it is, what it needs from a host, and its ports by index. */
std::string pluginTurtle (const BundleIdentity& bundle);

/** The UI: what it needs from a host and what it offers. */
std::string uiTurtle (const BundleIdentity& bundle);

/** manifest.ttl, dsp.ttl and ui.ttl. */
std::vector<TurtleFile> bundleTurtleFiles (const BundleIdentity& bundle);

} // namespace halvora::lv2
