#pragma once

#include <juce_core/juce_core.h>

/** What became of the settings file when the app looked at it before reading it. */
struct SettingsScreening
{
    juce::String problem; // empty: the file is missing or fine, and is left as it is
    juce::File setAside;  // where a damaged file went
    bool moved = false;   // false with a problem: it is still there, so must not be read

    bool isReadable() const noexcept { return problem.isEmpty(); }

    /** The one line the app prints about it, naming the file and what was wrong. */
    juce::String describe (const juce::File& file) const;
};

/** Checks the settings file and moves a damaged one aside, to the same name with ".bad"
    added (replacing an older one), so that nothing of the user's is lost and the app
    can start with its defaults.
*/
SettingsScreening screenSettingsFile (const juce::File& file);
