// halvora-auval: loads an Audio Unit component bundle the way a host does (its
// Info.plist, its library, the named factory) and walks through what a host relies on,
// printing PASS or FAIL per check.

#include "HostSide.h"
#include "state/PropertyList.h"
#include "HalvoraVocabulary.h"

#include <dlfcn.h>

namespace
{

using namespace auval;

OSType codeFrom (const juce::var& value)
{
    const auto text = value.toString();
    return text.length() == 4 ? (OSType (UInt8 (text[0])) << 24) | (OSType (UInt8 (text[1])) << 16)
                                    | (OSType (UInt8 (text[2])) << 8) | OSType (UInt8 (text[3]))
                              : 0;
}

/** Bundle: the Info.plist names a music device, its library loads and exports only the two
    factory entry points, and the named factory opens an instance. Null if any step failed.
*/
AudioComponentPlugInInterface* openFromBundle (Checker& checker, const juce::File& bundle, juce::String factoryName,
                                               AudioComponentDescription& description)
{
    const auto infoFile = bundle.getChildFile ("Contents/Info.plist");
    juce::MemoryBlock infoBytes;
    juce::String error;

    if (! checker.check (infoFile.loadFileAsData (infoBytes), "Info.plist is readable", infoFile.getFullPathName()))
        return nullptr;

    const auto info = PropertyList::parse (infoBytes.getData(), infoBytes.getSize(), error);
    auto* components = info["AudioComponents"].getArray();

    if (! checker.check (components != nullptr && ! components->isEmpty(), "Info.plist names an audio component", error))
        return nullptr;

    const auto& component = components->getReference (0);
    description = { codeFrom (component["type"]), codeFrom (component["subtype"]), codeFrom (component["manufacturer"]), 0, 0 };
    checker.check (description.componentType == kAudioUnitType_MusicDevice, "component type is a music device ('aumu')");

    if (factoryName.isEmpty())
        factoryName = component["factoryFunction"].toString();

    const auto library = bundle.getChildFile ("Contents/Linux").getChildFile (info["CFBundleExecutable"].toString());
    auto* handle = dlopen (library.getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);

    if (! checker.check (handle != nullptr, "library loads", dlerror() != nullptr ? juce::String (dlerror()) : library.getFullPathName()))
        return nullptr;

    checker.check (dlsym (handle, "HalvoraAUFactory") != nullptr && dlsym (handle, "JuceAUFactory") != nullptr,
                   "both factory entry points are exported");
    checker.check (dlsym (handle, "createPluginFilter") == nullptr, "nothing else is exported");

    auto factory = reinterpret_cast<AudioComponentFactoryFunction> (dlsym (handle, factoryName.toRawUTF8()));

    if (! checker.check (factory != nullptr, "factory " + factoryName + " is found"))
        return nullptr;

    auto* record = factory (&description);

    if (! checker.check (record != nullptr && record->Open (record, reinterpret_cast<AudioComponentInstance> (record)) == noErr, "instance opens"))
        return nullptr;

    return record;
}

/** Channels: the two configurations, no latency and no tail. */
void checkChannels (Checker& checker, const Instance& unit)
{
    AUChannelInfo channelInfo[8] {};
    UInt32 size = sizeof (channelInfo);
    unit.get<AudioUnitGetPropertyProc> (kAudioUnitGetPropertySelect) (unit.record, kAudioUnitProperty_SupportedNumChannels,
                                                                      kAudioUnitScope_Global, 0, channelInfo, &size);
    checker.check (size == 2 * sizeof (AUChannelInfo) && channelInfo[0].inChannels == 1 && channelInfo[0].outChannels == 1
                       && channelInfo[1].inChannels == 2 && channelInfo[1].outChannels == 2,
                   "channel configurations are 1/1 and 2/2");

    Float64 seconds = -1.0;
    unit.getProperty (kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &seconds, sizeof (seconds));
    checker.check (seconds == 0.0, "latency is 0 s");
    seconds = -1.0;
    unit.getProperty (kAudioUnitProperty_TailTime, kAudioUnitScope_Global, 0, &seconds, sizeof (seconds));
    checker.check (seconds == 0.0, "tail is 0 s");
}

/** Presets: the one factory preset, and nothing beyond it. */
void checkPresets (Checker& checker, const Instance& unit)
{
    const AUPresetArray* presets = nullptr;
    unit.getProperty (kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, sizeof (presets));
    checker.check (presets != nullptr && presets->count == 1 && presets->presets[0].presetNumber == 0
                       && juce::String (presets->presets[0].presetName) == "Untitled",
                   "one factory preset, 0 \"Untitled\"");
    const AUPreset first { 0, nullptr }, second { 1, nullptr };
    checker.check (unit.setProperty (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &first, sizeof (first)) == noErr
                       && unit.setProperty (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &second, sizeof (second)) != noErr,
                   "preset 0 can be chosen, 1 is refused");
}

/** One parameter's info is what a host relies on: readable, writable, named, a sane range
    and default, value strings exactly for the indexed ones. Empty if so, else what was wrong.
*/
juce::String parameterInfoProblem (const Instance& unit, AudioUnitParameterID id, AudioUnitParameterInfo& p)
{
    unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &p, sizeof (p));
    const auto required = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable
                        | kAudioUnitParameterFlag_IsHighResolution | kAudioUnitParameterFlag_HasCFNameString
                        | kAudioUnitParameterFlag_ValuesHaveStrings;
    const auto forbidden = kAudioUnitParameterFlag_NonRealTime | kAudioUnitParameterFlag_IsGlobalMeta
                         | kAudioUnitParameterFlag_IsElementMeta | kAudioUnitParameterFlag_HasClump;
    const auto indexed = p.unit == kAudioUnitParameterUnit_Indexed;
    juce::String problem;

    if ((p.flags & required) != required || (p.flags & forbidden) != 0 || std::strlen (p.name) == 0
        || p.minValue != 0.0f || ! (p.defaultValue >= p.minValue && p.defaultValue <= p.maxValue)
        || (! indexed && p.maxValue != 1.0f))
        problem = p.name;

    const AUStringArray* strings = nullptr;
    const auto stringsStatus = unit.getProperty (kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, id,
                                                 &strings, sizeof (strings));
    if (indexed != (stringsStatus == noErr) || (indexed && strings->count != static_cast<UInt32> (p.maxValue) + 1))
        problem = juce::String (p.name) + " value strings";

    return problem;
}

/** True if the lowest, default and highest values turn into text and back. */
bool valuesSurviveText (const Instance& unit, AudioUnitParameterID id, const AudioUnitParameterInfo& p)
{
    bool ok = true;

    for (const auto value : { p.minValue, p.defaultValue, p.maxValue })
    {
        AudioUnitParameterStringFromValue toText { id, &value, nullptr };
        unit.getProperty (kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, &toText, sizeof (toText));
        AudioUnitParameterValueFromString fromText { id, toText.outString, -1.0f };
        unit.getProperty (kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, &fromText, sizeof (fromText));
        ok = ok && toText.outString != nullptr && std::abs (fromText.outValue - value) < 1.0e-3f;
    }

    return ok;
}

/** Parameters: the list, each one's info, and their text. Returns the list. */
std::vector<AudioUnitParameterID> checkParameters (Checker& checker, const Instance& unit)
{
    AudioUnitParameterID ids[64] {};
    UInt32 size = sizeof (ids);
    unit.get<AudioUnitGetPropertyProc> (kAudioUnitGetPropertySelect) (unit.record, kAudioUnitProperty_ParameterList,
                                                                      kAudioUnitScope_Global, 0, ids, &size);
    const auto numParams = static_cast<int> (size / sizeof (AudioUnitParameterID));
    checker.check (numParams == static_cast<int> (halvora::parameterIDs.size()) && std::is_sorted (ids, ids + numParams),
                   "eleven parameters, ordered by identifier", juce::String (numParams));

    bool infoOk = true, textOk = true;
    juce::String infoDetail;

    for (int i = 0; i < numParams; ++i)
    {
        AudioUnitParameterInfo p {};

        if (const auto problem = parameterInfoProblem (unit, ids[i], p); problem.isNotEmpty())
        {
            infoOk = false;
            infoDetail = problem;
        }

        textOk = valuesSurviveText (unit, ids[i], p) && textOk;
    }

    checker.check (infoOk, "parameter info: names, units, ranges, defaults and flags", infoDetail);
    checker.check (textOk, "parameter values turn into text and back");
    return { ids, ids + numParams };
}

/** UI: the view factory names the product. */
void checkView (Checker& checker, const Instance& unit)
{
    AudioUnitCocoaViewInfo view {};
    unit.getProperty (kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &view, sizeof (view));
    checker.check (view.description != nullptr && juce::String (view.description) == "Halvora"
                       && juce::String (view.mCocoaAUViewClass[0]).startsWith ("JUCE_AUCocoaViewClass_"),
                   "view factory describes itself as \"Halvora\"");
}

/** Rendering in each configuration, and the refused ones. */
void checkRendering (Checker& checker, const Instance& unit)
{
    auto initialize = unit.get<AudioUnitInitializeProc> (kAudioUnitInitializeSelect);
    auto uninitialize = unit.get<AudioUnitUninitializeProc> (kAudioUnitUninitializeSelect);

    for (const auto channels : { 1, 2 })
    {
        juce::String detail;
        const auto ok = unit.setChannels (channels, channels) == noErr && initialize (unit.record) == noErr
                     && renderBlocks (unit, channels, 8, detail);
        checker.check (ok, "renders " + juce::String (channels) + " in, " + juce::String (channels) + " out", detail);
        uninitialize (unit.record);
    }

    checker.check (unit.setChannels (2, 1) == noErr && initialize (unit.record) == kAudioUnitErr_FormatNotSupported,
                   "2 in, 1 out is refused");
    checker.check (unit.setChannels (6, 6) == kAudioUnitErr_FormatNotSupported, "6 channels are refused");
    unit.setChannels (2, 2);
}

/** MIDI: events, event lists, system exclusive and notes are accepted while rendering. */
void checkMidi (Checker& checker, const Instance& unit)
{
    unit.get<AudioUnitInitializeProc> (kAudioUnitInitializeSelect) (unit.record);
    NoteInstanceID note = 0;
    const MusicDeviceNoteParams noteParams { 2, 60.0f, 100.0f };
    const UInt8 sysex[] { 0xf0, 0x7e, 0x7f, 0x06, 0x01, 0xf7 };
    MIDIEventList list {};
    list.protocol = 1;
    list.numPackets = 1;
    list.packet[0].wordCount = 1;
    list.packet[0].words[0] = 0x20903c64;
    juce::String midiDetail;
    const auto midiOk = unit.get<MusicDeviceMIDIEventProc> (kMusicDeviceMIDIEventSelect) (unit.record, 0x90, 60, 100, 0) == noErr
                     && unit.get<MusicDeviceMIDIEventListProc> (kMusicDeviceMIDIEventListSelect) (unit.record, 0, &list) == noErr
                     && unit.get<MusicDeviceSysExProc> (kMusicDeviceSysExSelect) (unit.record, sysex, sizeof (sysex)) == noErr
                     && unit.get<MusicDeviceStartNoteProc> (kMusicDeviceStartNoteSelect) (unit.record, 0, 0, &note, 0, &noteParams) == noErr
                     && unit.get<MusicDeviceStopNoteProc> (kMusicDeviceStopNoteSelect) (unit.record, 0, note, 0) == noErr
                     && unit.get<MusicDevicePrepareInstrumentProc> (kMusicDevicePrepareInstrumentSelect) (unit.record, 0) == noErr
                     && unit.get<MusicDeviceReleaseInstrumentProc> (kMusicDeviceReleaseInstrumentSelect) (unit.record, 0) == noErr
                     && renderBlocks (unit, 2, 2, midiDetail);
    checker.check (midiOk, "MIDI events, event lists, system exclusive and notes are accepted", midiDetail);
    unit.get<AudioUnitUninitializeProc> (kAudioUnitUninitializeSelect) (unit.record);
}

/** The saved preset dictionary with the integer under `key` replaced by `value`. */
std::string withInteger (const std::string& saved, const char* key, const juce::String& value)
{
    const auto keyTag = "<key>" + std::string (key) + "</key>";
    const auto at = saved.find (keyTag);
    return saved.substr (0, at) + keyTag + "\n\t<integer>" + value.toStdString() + "</integer>\n"
         + saved.substr (saved.find ("</integer>", at) + 11);
}

OSStatus restoreClassInfo (const Instance& unit, const std::string& text)
{
    const AUPropertyListData data { text.data(), static_cast<UInt32> (text.size()) };
    return unit.setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &data, sizeof (data));
}

/** Preset round trip: the dictionary saves a parameter and brings it back, and foreign or
    malformed dictionaries are refused without changing anything.
*/
void checkPresetRoundTrip (Checker& checker, const Instance& unit, const std::vector<AudioUnitParameterID>& ids)
{
    // A continuous parameter, whose host value is its normalised value.
    auto firstId = ids.empty() ? AudioUnitParameterID {} : ids[0];
    for (auto it = ids.rbegin(); it != ids.rend(); ++it)
    {
        AudioUnitParameterInfo p {};
        unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, *it, &p, sizeof (p));
        if (p.unit == kAudioUnitParameterUnit_Generic)
            firstId = *it;
    }

    unit.setParameter (firstId, 0.25f);
    const auto saved = unit.getParameter (firstId);
    AUPropertyListData classInfo {};
    unit.getProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &classInfo, sizeof (classInfo));
    const std::string savedText (static_cast<const char*> (classInfo.bytes), classInfo.size);
    juce::String error;
    const auto dictionary = PropertyList::parse (savedText.data(), savedText.size(), error);
    checker.check (dictionary["jucePluginState"].isBinaryData() && dictionary["type"].isInt64(),
                   "saved preset dictionary holds \"jucePluginState\"");

    unit.setParameter (firstId, 0.75f);
    checker.check (restoreClassInfo (unit, savedText) == noErr && unit.getParameter (firstId) == saved,
                   "restoring the preset brings the parameter back");

    unit.setParameter (firstId, 0.75f);
    checker.check (restoreClassInfo (unit, withInteger (savedText, "subtype", "1")) == kAudioUnitErr_InvalidPropertyValue
                       && unit.getParameter (firstId) == 0.75f,
                   "a preset of another subtype is refused and changes nothing");

    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>version</key><data>!!!</data>";
    checker.check (restoreClassInfo (unit, garbage) != noErr && unit.getParameter (firstId) == 0.75f,
                   "a malformed preset is refused and changes nothing");

    // The base does not check the type: the same unit may be registered as more than one kind.
    unit.setParameter (firstId, 0.75f);
    const auto otherType = withInteger (savedText, "type", juce::String (fourCharCode ("aufx")));
    checker.check (otherType.find ("<integer>1635083896</integer>") != std::string::npos
                       && restoreClassInfo (unit, otherType) == noErr && unit.getParameter (firstId) == saved,
                   "a preset saved under another component type restores");
}

int run (const juce::File& bundle, const juce::String& factoryName)
{
    Checker checker;
    AudioComponentDescription description {};
    Instance unit { openFromBundle (checker, bundle, factoryName, description) };

    if (unit.record == nullptr)
        return 1;

    checkSelectors (checker, unit);
    checkChannels (checker, unit);
    checkPresets (checker, unit);
    const auto ids = checkParameters (checker, unit);
    checkView (checker, unit);
    checkRendering (checker, unit);
    checkMidi (checker, unit);
    checkPresetRoundTrip (checker, unit, ids);
    checkHostSurface (checker, unit, ids);

    checker.check (unit.record->Close (unit.record) == noErr, "instance closes");

    std::cout << checker.passed << " passed, " << checker.failed << " failed\n";
    return checker.failed == 0 ? 0 : 1;
}

} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    if (args == juce::StringArray { "--version" })
    {
        std::cout << "halvora-auval " << JucePlugin_VersionString << " (JUCE " << JUCE_MAJOR_VERSION << "."
                  << JUCE_MINOR_VERSION << "." << JUCE_BUILDNUMBER << ")\n";
        return 0;
    }

    juce::String factory;
    const auto factoryIndex = args.indexOf ("--factory");

    if (factoryIndex >= 0)
    {
        factory = args[factoryIndex + 1];
        args.removeRange (factoryIndex, 2);
    }

    if (args.size() != 1 || (factoryIndex >= 0 && factory.isEmpty()))
    {
        std::cerr << "usage: halvora-auval BUNDLE [--factory NAME]\n";
        return 2;
    }

    const auto bundle = juce::File::getCurrentWorkingDirectory().getChildFile (args[0]);

    if (! bundle.isDirectory())
    {
        std::cerr << "halvora-auval: '" << args[0] << "' is not a component bundle folder\n";
        return 1;
    }

    return run (bundle, factory);
}
