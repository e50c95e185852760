// halvora-auval: loads an Audio Unit component bundle the way a host does (its
// Info.plist, its library, the named factory) and walks through what a host relies on,
// printing PASS or FAIL per check.

#include "au/AudioUnitAPI.h"
#include "au/PropertyList.h"

#include <juce_core/juce_core.h>

#include <cmath>
#include <dlfcn.h>
#include <iostream>
#include <vector>

namespace
{

struct Checker
{
    int passed = 0, failed = 0;

    bool check (bool ok, const juce::String& name, const juce::String& detail = {})
    {
        std::cout << (ok ? "PASS " : "FAIL ") << name << (ok || detail.isEmpty() ? juce::String() : ": " + detail) << "\n";
        (ok ? passed : failed)++;
        return ok;
    }
};

OSType codeFrom (const juce::var& value)
{
    const auto text = value.toString();
    return text.length() == 4 ? (OSType (UInt8 (text[0])) << 24) | (OSType (UInt8 (text[1])) << 16)
                                    | (OSType (UInt8 (text[2])) << 8) | OSType (UInt8 (text[3]))
                              : 0;
}

/** The methods of one opened instance, looked up once. */
struct Instance
{
    AudioComponentPlugInInterface* record = nullptr;

    template <typename Proc>
    Proc get (SInt16 selector) const { return reinterpret_cast<Proc> (record->Lookup (selector)); }

    OSStatus getProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* data, UInt32 size) const
    {
        return get<AudioUnitGetPropertyProc> (kAudioUnitGetPropertySelect) (record, id, scope, element, data, &size);
    }

    OSStatus setProperty (AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, const void* data, UInt32 size) const
    {
        return get<AudioUnitSetPropertyProc> (kAudioUnitSetPropertySelect) (record, id, scope, element, data, size);
    }

    OSStatus setParameter (AudioUnitParameterID id, float value) const
    {
        return get<AudioUnitSetParameterProc> (kAudioUnitSetParameterSelect) (record, id, kAudioUnitScope_Global, 0, value, 0);
    }

    float getParameter (AudioUnitParameterID id) const
    {
        float value = -1.0f;
        get<AudioUnitGetParameterProc> (kAudioUnitGetParameterSelect) (record, id, kAudioUnitScope_Global, 0, &value);
        return value;
    }

    OSStatus setChannels (int in, int out) const
    {
        AudioStreamBasicDescription format { 44100.0, kAudioFormatLinearPCM, kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved,
                                             4, 1, 4, static_cast<UInt32> (in), 32, 0 };
        if (const auto status = setProperty (kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, sizeof (format)))
            return status;

        format.mChannelsPerFrame = static_cast<UInt32> (out);
        return setProperty (kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, sizeof (format));
    }
};

/** A host's input: a sine per channel. */
struct SineSource
{
    double phase = 0.0;

    static OSStatus pull (void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames, AudioBufferList* data)
    {
        auto* self = static_cast<SineSource*> (refCon);
        const auto start = self->phase;

        for (UInt32 b = 0; b < data->mNumberBuffers; ++b)
        {
            auto* out = static_cast<float*> (data->mBuffers[b].mData);
            auto p = start;
            for (UInt32 i = 0; i < frames; ++i, p += 2.0 * juce::MathConstants<double>::pi * 300.0 / 44100.0)
                out[i] = 0.4f * static_cast<float> (std::sin (p + b));
        }

        self->phase = start + frames * 2.0 * juce::MathConstants<double>::pi * 300.0 / 44100.0;
        return noErr;
    }
};

bool renderBlocks (const Instance& unit, int channels, int blocks, juce::String& detail)
{
    SineSource source;
    const AURenderCallbackStruct callback { &SineSource::pull, &source };
    unit.setProperty (kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof (callback));

    std::vector<char> listStorage (sizeof (AudioBufferList) + sizeof (AudioBuffer) * static_cast<size_t> (channels));
    std::vector<std::vector<float>> buffers (static_cast<size_t> (channels), std::vector<float> (512));
    auto* list = reinterpret_cast<AudioBufferList*> (listStorage.data());
    auto render = unit.get<AudioUnitRenderProc> (kAudioUnitRenderSelect);

    for (int b = 0; b < blocks; ++b)
    {
        list->mNumberBuffers = static_cast<UInt32> (channels);
        for (int c = 0; c < channels; ++c)
            list->mBuffers[c] = { 1, 512 * sizeof (float), buffers[static_cast<size_t> (c)].data() };

        AudioUnitRenderActionFlags flags = 0;
        AudioTimeStamp time {};
        time.mSampleTime = b * 512.0;

        if (const auto status = render (unit.record, &flags, &time, 0, 512, list); status != noErr)
        {
            detail = "render returned " + juce::String (status);
            return false;
        }

        for (const auto& channel : buffers)
            for (auto v : channel)
                if (! std::isfinite (v))
                {
                    detail = "non-finite output";
                    return false;
                }
    }

    return true;
}

int run (const juce::File& bundle, juce::String factoryName)
{
    Checker checker;
    const auto infoFile = bundle.getChildFile ("Contents/Info.plist");
    juce::MemoryBlock infoBytes;
    juce::String error;

    if (! checker.check (infoFile.loadFileAsData (infoBytes), "Info.plist is readable", infoFile.getFullPathName()))
        return 1;

    const auto info = PropertyList::parse (infoBytes.getData(), infoBytes.getSize(), error);
    auto* components = info["AudioComponents"].getArray();

    if (! checker.check (components != nullptr && ! components->isEmpty(), "Info.plist names an audio component", error))
        return 1;

    const auto& component = components->getReference (0);
    const AudioComponentDescription description { codeFrom (component["type"]), codeFrom (component["subtype"]),
                                                  codeFrom (component["manufacturer"]), 0, 0 };
    checker.check (description.componentType == kAudioUnitType_MusicDevice, "component type is a music device ('aumu')");

    if (factoryName.isEmpty())
        factoryName = component["factoryFunction"].toString();

    const auto library = bundle.getChildFile ("Contents/Linux").getChildFile (info["CFBundleExecutable"].toString());
    auto* handle = dlopen (library.getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);

    if (! checker.check (handle != nullptr, "library loads", dlerror() != nullptr ? juce::String (dlerror()) : library.getFullPathName()))
        return 1;

    checker.check (dlsym (handle, "HalvoraAUFactory") != nullptr && dlsym (handle, "JuceAUFactory") != nullptr,
                   "both factory entry points are exported");
    checker.check (dlsym (handle, "createPluginFilter") == nullptr, "nothing else is exported");

    auto factory = reinterpret_cast<AudioComponentFactoryFunction> (dlsym (handle, factoryName.toRawUTF8()));

    if (! checker.check (factory != nullptr, "factory " + factoryName + " is found"))
        return 1;

    Instance unit { factory (&description) };

    if (! checker.check (unit.record != nullptr && unit.record->Open (unit.record, reinterpret_cast<AudioComponentInstance> (unit.record)) == noErr, "instance opens"))
        return 1;

    const SInt16 selectors[] { kAudioUnitInitializeSelect, kAudioUnitUninitializeSelect, kAudioUnitGetPropertyInfoSelect,
                               kAudioUnitGetPropertySelect, kAudioUnitSetPropertySelect, kAudioUnitGetParameterSelect,
                               kAudioUnitSetParameterSelect, kAudioUnitRenderSelect, kAudioUnitResetSelect,
                               kMusicDeviceMIDIEventSelect, kMusicDeviceMIDIEventListSelect, kMusicDeviceSysExSelect,
                               kMusicDeviceStartNoteSelect, kMusicDeviceStopNoteSelect, kMusicDevicePrepareInstrumentSelect,
                               kMusicDeviceReleaseInstrumentSelect };
    bool allSelectors = true;
    for (auto selector : selectors)
        allSelectors = allSelectors && unit.record->Lookup (selector) != nullptr;
    checker.check (allSelectors && unit.record->Lookup (0x7777) == nullptr, "answers the music-device selectors, nothing else");

    // Channels, latency and tail.
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

    // Presets.
    const AUPresetArray* presets = nullptr;
    unit.getProperty (kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, sizeof (presets));
    checker.check (presets != nullptr && presets->count == 1 && presets->presets[0].presetNumber == 0
                       && juce::String (presets->presets[0].presetName) == "Untitled",
                   "one factory preset, 0 \"Untitled\"");
    const AUPreset first { 0, nullptr }, second { 1, nullptr };
    checker.check (unit.setProperty (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &first, sizeof (first)) == noErr
                       && unit.setProperty (kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &second, sizeof (second)) != noErr,
                   "preset 0 can be chosen, 1 is refused");

    // Parameters.
    AudioUnitParameterID ids[64] {};
    size = sizeof (ids);
    unit.get<AudioUnitGetPropertyProc> (kAudioUnitGetPropertySelect) (unit.record, kAudioUnitProperty_ParameterList,
                                                                      kAudioUnitScope_Global, 0, ids, &size);
    const auto numParams = static_cast<int> (size / sizeof (AudioUnitParameterID));
    checker.check (numParams == 11 && std::is_sorted (ids, ids + numParams), "eleven parameters, ordered by identifier",
                   juce::String (numParams));

    bool infoOk = true, textOk = true;
    juce::String infoDetail;

    for (int i = 0; i < numParams; ++i)
    {
        AudioUnitParameterInfo p {};
        unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, ids[i], &p, sizeof (p));
        const auto required = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable
                            | kAudioUnitParameterFlag_IsHighResolution | kAudioUnitParameterFlag_HasCFNameString
                            | kAudioUnitParameterFlag_ValuesHaveStrings;
        const auto forbidden = kAudioUnitParameterFlag_NonRealTime | kAudioUnitParameterFlag_IsGlobalMeta
                             | kAudioUnitParameterFlag_IsElementMeta | kAudioUnitParameterFlag_HasClump;
        const auto indexed = p.unit == kAudioUnitParameterUnit_Indexed;

        if ((p.flags & required) != required || (p.flags & forbidden) != 0 || std::strlen (p.name) == 0
            || p.minValue != 0.0f || ! (p.defaultValue >= p.minValue && p.defaultValue <= p.maxValue)
            || (! indexed && p.maxValue != 1.0f))
        {
            infoOk = false;
            infoDetail = p.name;
        }

        const AUStringArray* strings = nullptr;
        const auto stringsStatus = unit.getProperty (kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, ids[i],
                                                     &strings, sizeof (strings));
        if (indexed != (stringsStatus == noErr) || (indexed && strings->count != static_cast<UInt32> (p.maxValue) + 1))
        {
            infoOk = false;
            infoDetail = juce::String (p.name) + " value strings";
        }

        for (const auto value : { p.minValue, p.defaultValue, p.maxValue })
        {
            AudioUnitParameterStringFromValue toText { ids[i], &value, nullptr };
            unit.getProperty (kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0, &toText, sizeof (toText));
            AudioUnitParameterValueFromString fromText { ids[i], toText.outString, -1.0f };
            unit.getProperty (kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, &fromText, sizeof (fromText));
            textOk = textOk && toText.outString != nullptr && std::abs (fromText.outValue - value) < 1.0e-3f;
        }
    }

    checker.check (infoOk, "parameter info: names, units, ranges, defaults and flags", infoDetail);
    checker.check (textOk, "parameter values turn into text and back");

    AudioUnitCocoaViewInfo view {};
    unit.getProperty (kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &view, sizeof (view));
    checker.check (view.description != nullptr && juce::String (view.description) == "Halvora"
                       && juce::String (view.mCocoaAUViewClass[0]).startsWith ("JUCE_AUCocoaViewClass_"),
                   "view factory describes itself as \"Halvora\"");

    // Rendering in each configuration, and the refused ones.
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

    // MIDI is accepted.
    initialize (unit.record);
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
    uninitialize (unit.record);

    // Saving and restoring the preset dictionary.
    // A continuous parameter, whose host value is its normalised value.
    auto firstId = ids[0];
    for (int i = numParams - 1; i >= 0; --i)
    {
        AudioUnitParameterInfo p {};
        unit.getProperty (kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, ids[i], &p, sizeof (p));
        if (p.unit == kAudioUnitParameterUnit_Generic)
            firstId = ids[i];
    }

    unit.setParameter (firstId, 0.25f);
    const auto saved = unit.getParameter (firstId);
    AUPropertyListData classInfo {};
    unit.getProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &classInfo, sizeof (classInfo));
    const std::string savedText (static_cast<const char*> (classInfo.bytes), classInfo.size);
    const auto dictionary = PropertyList::parse (savedText.data(), savedText.size(), error);
    checker.check (dictionary["jucePluginState"].isBinaryData() && dictionary["type"].isInt64(),
                   "saved preset dictionary holds \"jucePluginState\"");

    unit.setParameter (firstId, 0.75f);
    const AUPropertyListData restore { savedText.data(), static_cast<UInt32> (savedText.size()) };
    checker.check (unit.setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &restore, sizeof (restore)) == noErr
                       && unit.getParameter (firstId) == saved,
                   "restoring the preset brings the parameter back");

    unit.setParameter (firstId, 0.75f);
    const auto otherSubtype = savedText.substr (0, savedText.find ("<key>subtype</key>")) + "<key>subtype</key>\n\t<integer>1</integer>\n"
                            + savedText.substr (savedText.find ("</integer>", savedText.find ("<key>subtype</key>")) + 11);
    const AUPropertyListData foreign { otherSubtype.data(), static_cast<UInt32> (otherSubtype.size()) };
    checker.check (unit.setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &foreign, sizeof (foreign)) == kAudioUnitErr_InvalidPropertyValue
                       && unit.getParameter (firstId) == 0.75f,
                   "a preset of another subtype is refused and changes nothing");

    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>version</key><data>!!!</data>";
    const AUPropertyListData malformed { garbage.data(), static_cast<UInt32> (garbage.size()) };
    checker.check (unit.setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &malformed, sizeof (malformed)) != noErr
                       && unit.getParameter (firstId) == 0.75f,
                   "a malformed preset is refused and changes nothing");

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
