#include "SettingsScreen.h"
#include "SettingsCheck.h"

juce::String SettingsScreening::describe (const juce::File& file) const
{
    if (isReadable())
        return {};

    const auto what = file.getFullPathName() + ": " + problem;

    if (moved)
        return what + "; moved to " + setAside.getFullPathName() + ", starting with the default settings";

    return what + "; it could not be moved aside, so the settings are not read or saved this time";
}

SettingsScreening screenSettingsFile (const juce::File& file)
{
    SettingsScreening screening;
    screening.problem = findSettingsFileProblem (file);

    if (screening.isReadable())
        return screening;

    screening.setAside = file.getSiblingFile (file.getFileName() + ".bad");
    screening.moved = file.moveFileTo (screening.setAside);
    return screening;
}
