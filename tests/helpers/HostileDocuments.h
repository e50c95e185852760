#pragma once

#include "helpers/TextFloods.h"
#include "state/AUPresetState.h"

#include <string>

//==============================================================================
/** Pieces of saved-state and preset documents built to hurt (the floods of TextFloods.h,
    and a preset dictionary Halvora takes around more entries). Shared by the readers' own
    tests and the restores through the processor and the Audio Unit.
*/
namespace testutil
{

inline const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

inline std::string integer (juce::uint32 value)
{
    return "<integer>" + std::to_string (value) + "</integer>";
}

/** A preset dictionary Halvora takes, with more entries inside it. */
inline std::string presetDocument (const std::string& entries)
{
    const auto d = AUPresetState::halvoraDescription();
    return declaration
         + "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"
           "<plist version=\"1.0\"><dict>"
           "<key>version</key><integer>0</integer>"
           "<key>type</key>"
         + integer (d.componentType)
         + "<key>subtype</key>" + integer (d.componentSubType)
         + "<key>manufacturer</key>" + integer (d.componentManufacturer)
         + "<key>name</key><string>Hostile</string>"
         + entries + "</dict></plist>";
}

} // namespace testutil
