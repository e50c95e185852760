#pragma once

#include <juce_core/juce_core.h>

/** What the standalone app's settings file may hold before juce::PropertiesFile reads it.

    The framework reads that file before any of our code runs, and it trusts it: a state
    of "-1.AAAA" asks for the largest memory block there is, XML built to be hostile runs
    its reader off the stack or round in circles, and a file in its binary form may be a
    decompression bomb. So the file is held to what the app itself writes: a few KB of
    XML, a PROPERTIES element of VALUE elements, each a key the app uses with a value of
    the shape the app gives it.
*/
namespace SettingsLimits
{
constexpr juce::int64 maxFileBytes = 1 << 20; // a real one is a few KB
constexpr int maxTextChars = 4096;            // device names, file paths
constexpr int maxMidiInputs = 256;
constexpr int maxChannelBits = 256; // "audioDeviceInChans" is a bit mask, one digit a channel
constexpr double maxSampleRate = 1.0e6;
constexpr int maxBufferSize = 1 << 16;
constexpr int maxWindowPosition = 1000000;
}

/** Checks the bytes of a settings file. Returns an empty string if juce::PropertiesFile
    may read them, otherwise what is wrong with them, in a few words. Runs in time
    linear in the size.
*/
juce::String findSettingsProblem (const void* data, size_t size);

/** Checks the file itself: a missing file is fine, anything that is not a regular file
    or is larger than SettingsLimits::maxFileBytes is refused without reading it all,
    otherwise its bytes are checked as findSettingsProblem does.
*/
juce::String findSettingsFileProblem (const juce::File& file);
