#include "helpers/TestHelpers.h"

#include "state/AUPresetState.h"
#include "au/HalvoraAudioUnit.h"
#include "state/PropertyList.h"

#include "HalvoraVocabulary.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace ParamID = halvora::ParamID;

namespace
{

/** An open instance as the host layer makes it, driven through its C-level answers. */
class AudioUnitTest : public testing::Test
{
protected:
    HalvoraAudioUnit unit { AUPresetState::halvoraDescription() };

    template <typename T>
    OSStatus get (AudioUnitPropertyID id, T& value, AudioUnitElement element = 0, AudioUnitScope scope = kAudioUnitScope_Global)
    {
        auto size = static_cast<UInt32> (sizeof (T));
        return unit.getProperty (id, scope, element, &value, &size);
    }

    template <typename T>
    OSStatus set (AudioUnitPropertyID id, const T& value, AudioUnitScope scope = kAudioUnitScope_Global)
    {
        return unit.setProperty (id, scope, 0, &value, sizeof (T));
    }

    std::string savePreset()
    {
        AUPropertyListData data {};
        EXPECT_EQ (get (kAudioUnitProperty_ClassInfo, data), noErr);
        return { static_cast<const char*> (data.bytes), data.size };
    }

    OSStatus restorePreset (const std::string& text)
    {
        const AUPropertyListData data { text.data(), static_cast<UInt32> (text.size()) };
        return set (kAudioUnitProperty_ClassInfo, data);
    }

    float plain (const char* id) { return testutil::getPlain (unit.getProcessor(), id); }

    /** Every parameter off its default, so a restore that changed anything would show. */
    void changeEverything()
    {
        testutil::setPlain (unit.getProcessor(), ParamID::gain, -7.5f);
        testutil::setPlain (unit.getProcessor(), ParamID::key, 5.0f);
        testutil::setPlain (unit.getProcessor(), ParamID::morvel, 0.9f);
    }

    std::vector<float> snapshot()
    {
        std::vector<float> values;
        for (auto* p : unit.getProcessor().getParameters())
            values.push_back (p->getValue());
        return values;
    }
};

/** The same preset text with one entry's value replaced or removed. */
std::string withEntry (std::string text, const std::string& key, const std::string& replacement)
{
    const auto keyAt = text.find ("<key>" + key + "</key>");
    if (keyAt == std::string::npos)
        return text;

    const auto valueStart = text.find ('<', keyAt + key.size() + 11);
    const auto tagEnd = text.find ('>', valueStart);
    const auto tag = text.substr (valueStart + 1, tagEnd - valueStart - 1);
    const auto close = tag.back() == '/' ? tagEnd + 1 : text.find ("</" + tag + ">", tagEnd) + tag.size() + 3;

    text.replace (keyAt, close - keyAt, replacement.empty() ? std::string() : "<key>" + key + "</key>" + replacement);
    return text;
}

} // namespace

//==============================================================================
TEST_F (AudioUnitTest, ParameterIdentifiersComeFromTheIdStringsAndAreSorted)
{
    // 31-multiplier hash of each ID string with the top bit cleared, worked out by hand.
    const std::map<AudioUnitParameterID, std::string> expected {
        { 106079u, ParamID::key },
        { 3165055u, ParamID::gain },
        { 108280125u, ParamID::range },
        { 109250890u, ParamID::scale },
        { 112386354u, ParamID::voice },
        { 389880618u, ParamID::reverbMix },
        { 450357647u, ParamID::vibRate },
        { 816144857u, ParamID::delayMix },
        { 1063371764u, ParamID::vibDepth },
        { 1079117453u, ParamID::morvel },
        { 1470039715u, ParamID::formant },
    };

    AudioUnitParameterID ids[11] {};
    UInt32 size = sizeof (ids);
    ASSERT_EQ (unit.getProperty (kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids, &size), noErr);
    ASSERT_EQ (size, sizeof (ids));

    auto it = expected.begin();
    for (auto id : ids)
    {
        EXPECT_EQ (id, it->first) << it->second;
        EXPECT_EQ (HalvoraAudioUnit::parameterIdFor (it->second), it->first);
        ++it;
    }
}

TEST_F (AudioUnitTest, ChoiceParametersReportValueStringsAndContinuousOnesDoNot)
{
    const auto key = HalvoraAudioUnit::parameterIdFor (ParamID::key);
    const auto gain = HalvoraAudioUnit::parameterIdFor (ParamID::gain);

    const AUStringArray* strings = nullptr;
    ASSERT_EQ (get (kAudioUnitProperty_ParameterValueStrings, strings, key), noErr);
    ASSERT_EQ (strings->count, 12u);
    const char* const keys[] { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" };
    for (UInt32 i = 0; i < 12; ++i)
        EXPECT_STREQ (strings->strings[i], keys[i]);

    EXPECT_EQ (get (kAudioUnitProperty_ParameterValueStrings, strings, gain), kAudioUnitErr_InvalidProperty);

    AudioUnitParameterInfo info {};
    ASSERT_EQ (get (kAudioUnitProperty_ParameterInfo, info, gain), noErr);
    EXPECT_STREQ (info.name, "Gain (dB)");
    EXPECT_EQ (info.unit, kAudioUnitParameterUnit_Generic);
    EXPECT_EQ (info.minValue, 0.0f);
    EXPECT_EQ (info.maxValue, 1.0f);
    EXPECT_EQ (info.defaultValue, 0.5f);
    EXPECT_NE (info.flags & kAudioUnitParameterFlag_CanRamp, 0u);

    ASSERT_EQ (get (kAudioUnitProperty_ParameterInfo, info, key), noErr);
    EXPECT_EQ (info.unit, kAudioUnitParameterUnit_Indexed);
    EXPECT_EQ (info.maxValue, 11.0f);
    EXPECT_EQ (info.defaultValue, 0.0f);
}

TEST_F (AudioUnitTest, ValuesAndTextGoThroughTheParametersOwnConversions)
{
    const auto gain = HalvoraAudioUnit::parameterIdFor (ParamID::gain);
    const auto key = HalvoraAudioUnit::parameterIdFor (ParamID::key);

    ASSERT_EQ (unit.setParameter (key, kAudioUnitScope_Global, 0, 6.0f), noErr);
    EXPECT_EQ (unit.getProcessor().getParameters()[9]->getCurrentValueAsText(), "F#");

    const float threeQuarters = 0.75f;
    AudioUnitParameterStringFromValue toText { gain, &threeQuarters, nullptr };
    ASSERT_EQ (get (kAudioUnitProperty_ParameterStringFromValue, toText), noErr);
    EXPECT_STREQ (toText.outString, "12.00");

    AudioUnitParameterValueFromString fromText { key, "A", -1.0f };
    ASSERT_EQ (get (kAudioUnitProperty_ParameterValueFromString, fromText), noErr);
    EXPECT_EQ (fromText.outValue, 9.0f);

    EXPECT_EQ (unit.setParameter (12345u, kAudioUnitScope_Global, 0, 0.5f), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ (unit.setParameter (gain, kAudioUnitScope_Input, 0, 0.5f), kAudioUnitErr_InvalidScope);
}

TEST_F (AudioUnitTest, SavedDictionaryHasTheStandardKeysAndThePluginState)
{
    const auto text = savePreset();
    juce::String error;
    const auto dictionary = PropertyList::parse (text.data(), text.size(), error);
    ASSERT_TRUE (dictionary.isObject()) << error;

    for (auto* key : { "version", "type", "subtype", "manufacturer", "name", "data", "jucePluginState" })
        EXPECT_TRUE (dictionary.hasProperty (key)) << key;

    EXPECT_EQ (static_cast<juce::int64> (dictionary["type"]), static_cast<juce::int64> (fourCharCode ("aumu")));
    EXPECT_EQ (dictionary["name"].toString(), "Untitled");

    auto* state = dictionary["jucePluginState"].getBinaryData();
    ASSERT_NE (state, nullptr);
    juce::MemoryBlock expected;
    unit.getProcessor().getStateInformation (expected);
    EXPECT_EQ (*state, expected);
}

TEST_F (AudioUnitTest, PresetRoundTripRestoresEveryParameter)
{
    changeEverything();
    const auto saved = savePreset();
    const auto expected = snapshot();

    HalvoraAudioUnit other (AUPresetState::halvoraDescription());
    const AUPropertyListData data { saved.data(), static_cast<UInt32> (saved.size()) };
    ASSERT_EQ (other.setProperty (kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &data, sizeof (data)), noErr);

    std::vector<float> restored;
    for (auto* p : other.getProcessor().getParameters())
        restored.push_back (p->getValue());
    EXPECT_EQ (restored, expected);
}

struct RefusedPreset
{
    const char* what;
    std::function<std::string (const std::string&)> spoil;
    bool refused; // false: accepted, but restores nothing
};

class PresetEdgeCases : public AudioUnitTest, public testing::WithParamInterface<RefusedPreset>
{
};

TEST_P (PresetEdgeCases, LeaveEveryParameterAsItWas)
{
    // A preset saved with gain at +12 dB, restored onto an instance at -7.5 dB.
    testutil::setPlain (unit.getProcessor(), ParamID::gain, 12.0f);
    const auto saved = savePreset();
    changeEverything();
    const auto before = snapshot();

    const auto status = restorePreset (GetParam().spoil (saved));
    EXPECT_EQ (status != noErr, GetParam().refused) << status;
    EXPECT_EQ (snapshot(), before);
}

// A name followed by a part number: a preset of one part of a multi-part unit.
const char* const nameAndPart = "<string>Untitled</string><key>part</key><integer>1</integer>";

const RefusedPreset refusedPresets[] {
    { "noPluginState", [] (const std::string& preset) { return withEntry (preset, "jucePluginState", ""); }, false },
    { "emptyPluginState", [] (const std::string& preset) { return withEntry (preset, "jucePluginState", "<data></data>"); }, false },
    { "otherSubtype", [] (const std::string& preset) { return withEntry (preset, "subtype", "<integer>1</integer>"); }, true },
    { "otherManufacturer", [] (const std::string& preset) { return withEntry (preset, "manufacturer", "<integer>42</integer>"); }, true },
    { "partNotWholeUnit", [] (const std::string& preset) { return withEntry (preset, "name", nameAndPart); }, true },
    { "noVersion", [] (const std::string& preset) { return withEntry (preset, "version", ""); }, true },
    { "versionAsString", [] (const std::string& preset) { return withEntry (preset, "version", "<string>0</string>"); }, true },
    { "truncatedBase64", [] (const std::string& preset) { return withEntry (preset, "jucePluginState", "<data>VkMy</data>x"); }, true },
    { "badBase64", [] (const std::string& preset) { return withEntry (preset, "jucePluginState", "<data>!!!!</data>"); }, true },
    { "cutShort", [] (const std::string& preset) { return preset.substr (0, preset.size() / 2); }, true },
    { "notXml", [] (const std::string&) { return std::string ("version=0 type=aumu"); }, true },
    { "arrayNotDict", [] (const std::string&) { return std::string ("<?xml version=\"1.0\"?><plist><array/></plist>"); }, true },
    { "deepNesting", [] (const std::string&) { return "<plist>" + juce::String::repeatedString ("<array>", 200).toStdString() + "</plist>"; }, true },
    { "empty", [] (const std::string&) { return std::string(); }, true },
    { "processingInstruction", [] (const std::string& preset) { return withEntry (preset, "name", "<string><?x?>text</string>"); }, true },
    { "invalidUtf8", [] (const std::string& preset) { return preset.substr (0, 200) + "\xfe\xff\xff\xf2"; }, true },
};

INSTANTIATE_TEST_SUITE_P (Table, PresetEdgeCases, testing::ValuesIn (refusedPresets),
                          [] (const auto& testInfo) { return std::string (testInfo.param.what); });

TEST_F (AudioUnitTest, DictionaryOfAnotherComponentTypeRestores)
{
    // The base checks version, subtype and manufacturer only: the same unit may be
    // registered as an effect ('aufx', 1635083896) as well as a music device.
    testutil::setPlain (unit.getProcessor(), ParamID::gain, 12.0f);
    const auto saved = savePreset();
    changeEverything();

    EXPECT_EQ (restorePreset (withEntry (saved, "type", "<integer>1635083896</integer>")), noErr);
    EXPECT_FLOAT_EQ (plain (ParamID::gain), 12.0f);
    EXPECT_EQ (restorePreset (withEntry (saved, "type", "")), noErr);
}

TEST_F (AudioUnitTest, HugePresetIsRefusedUnread)
{
    changeEverything();
    const auto before = snapshot();
    std::string huge (PropertyList::maxDocumentSize + 1, ' ');
    EXPECT_NE (restorePreset (huge), noErr);
    EXPECT_EQ (snapshot(), before);
}

TEST_F (AudioUnitTest, ChannelRequests)
{
    AudioStreamBasicDescription format { 44100.0, kAudioFormatLinearPCM, kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved,
                                         4, 1, 4, 6, 32, 0 };
    EXPECT_EQ (set (kAudioUnitProperty_StreamFormat, format, kAudioUnitScope_Input), kAudioUnitErr_FormatNotSupported);

    format.mChannelsPerFrame = 2;
    ASSERT_EQ (set (kAudioUnitProperty_StreamFormat, format, kAudioUnitScope_Input), noErr);
    format.mChannelsPerFrame = 1;
    ASSERT_EQ (set (kAudioUnitProperty_StreamFormat, format, kAudioUnitScope_Output), noErr);
    EXPECT_EQ (unit.initialize(), kAudioUnitErr_FormatNotSupported);

    ASSERT_EQ (set (kAudioUnitProperty_StreamFormat, format, kAudioUnitScope_Input), noErr);
    EXPECT_EQ (unit.initialize(), noErr);
    EXPECT_EQ (unit.getProcessor().getMainBusNumOutputChannels(), 1);
}

TEST_F (AudioUnitTest, OnePresetUntitled)
{
    const AUPresetArray* presets = nullptr;
    ASSERT_EQ (get (kAudioUnitProperty_FactoryPresets, presets), noErr);
    ASSERT_EQ (presets->count, 1u);
    EXPECT_EQ (presets->presets[0].presetNumber, 0);
    EXPECT_STREQ (presets->presets[0].presetName, "Untitled");

    EXPECT_EQ (set (kAudioUnitProperty_PresentPreset, AUPreset { 0, nullptr }), noErr);
    EXPECT_EQ (set (kAudioUnitProperty_PresentPreset, AUPreset { 1, nullptr }), kAudioUnitErr_InvalidPropertyValue);
}

//==============================================================================
namespace
{

/** One value a host sets, before or after initialising: the status the unit answers, and
    the sample rate and largest slice it holds afterwards (a refused value changes nothing).
*/
struct SetCase
{
    const char* name;
    bool initialised;
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    std::vector<char> bytes; // empty: no data at all
    OSStatus status;
    Float64 rateAfter;
    UInt32 framesAfter;
};

template <typename T>
std::vector<char> bytesOf (const T& value)
{
    const auto* bytes = reinterpret_cast<const char*> (&value);
    return { bytes, bytes + sizeof (T) };
}

template <typename T>
std::vector<char> firstBytesOf (const T& value, size_t count)
{
    auto bytes = bytesOf (value);
    bytes.resize (count);
    return bytes;
}

AudioStreamBasicDescription floatFormat (UInt32 channels, Float64 rate)
{
    return { rate, kAudioFormatLinearPCM, kAudioFormatFlagsNativeFloatPacked | kAudioFormatFlagIsNonInterleaved, 4, 1, 4, channels, 32, 0 };
}

AudioStreamBasicDescription integerFormat()
{
    auto format = floatFormat (2, 44100.0);
    format.mFormatFlags = kAudioFormatFlagIsNonInterleaved;
    return format;
}

constexpr auto global = kAudioUnitScope_Global, input = kAudioUnitScope_Input, output = kAudioUnitScope_Output;
const auto notANumber = std::numeric_limits<Float64>::quiet_NaN();

} // namespace

class SettingProperties : public AudioUnitTest, public testing::WithParamInterface<SetCase>
{
};

TEST_P (SettingProperties, AnswerTheirStatusAndKeepNothingTheyRefuse)
{
    const auto& c = GetParam();

    if (c.initialised)
    {
        ASSERT_EQ (unit.initialize(), noErr);
    }

    EXPECT_EQ (unit.setProperty (c.id, c.scope, 0, c.bytes.empty() ? nullptr : c.bytes.data(), static_cast<UInt32> (c.bytes.size())), c.status);

    Float64 rate = 0.0;
    UInt32 frames = 0;
    ASSERT_EQ (get (kAudioUnitProperty_SampleRate, rate), noErr);
    ASSERT_EQ (get (kAudioUnitProperty_MaximumFramesPerSlice, frames), noErr);
    EXPECT_EQ (rate, c.rateAfter);
    EXPECT_EQ (frames, c.framesAfter);
}

const SetCase setCases[] {
    { "rate", false, kAudioUnitProperty_SampleRate, global, bytesOf (48000.0), noErr, 48000.0, 1156 },
    { "rateNoData", false, kAudioUnitProperty_SampleRate, global, {}, kAudioUnitErr_InvalidPropertyValue, 44100.0, 1156 },
    { "rateTooShort", false, kAudioUnitProperty_SampleRate, global, firstBytesOf (48000.0, 4), kAudioUnitErr_InvalidPropertyValue, 44100.0, 1156 },
    { "rateZero", false, kAudioUnitProperty_SampleRate, global, bytesOf (0.0), kAudioUnitErr_InvalidPropertyValue, 44100.0, 1156 },
    { "rateNaN", false, kAudioUnitProperty_SampleRate, global, bytesOf (notANumber), kAudioUnitErr_InvalidPropertyValue, 44100.0, 1156 },
    { "rateTooHigh", false, kAudioUnitProperty_SampleRate, global, bytesOf (1536001.0), kAudioUnitErr_InvalidPropertyValue, 44100.0, 1156 },
    { "rateWhileInitialised", true, kAudioUnitProperty_SampleRate, global, bytesOf (48000.0), kAudioUnitErr_Initialized, 44100.0, 1156 },
    { "sameRateWhileInitialised", true, kAudioUnitProperty_SampleRate, global, bytesOf (44100.0), noErr, 44100.0, 1156 },
    { "format", false, kAudioUnitProperty_StreamFormat, input, bytesOf (floatFormat (1, 96000.0)), noErr, 96000.0, 1156 },
    { "formatNoData", false, kAudioUnitProperty_StreamFormat, input, {}, kAudio_ParamError, 44100.0, 1156 },
    { "formatTooShort", false, kAudioUnitProperty_StreamFormat, input, firstBytesOf (floatFormat (1, 96000.0), 8), kAudio_ParamError, 44100.0, 1156 },
    { "formatOfIntegers", false, kAudioUnitProperty_StreamFormat, input, bytesOf (integerFormat()), kAudioUnitErr_FormatNotSupported, 44100.0, 1156 },
    { "formatOnTheGlobalScope", false, kAudioUnitProperty_StreamFormat, global, bytesOf (floatFormat (2, 96000.0)),
      kAudioUnitErr_InvalidScope, 44100.0, 1156 },
    { "channelsWhileInitialised", true, kAudioUnitProperty_StreamFormat, input, bytesOf (floatFormat (1, 44100.0)),
      kAudioUnitErr_Initialized, 44100.0, 1156 },
    { "formatRateWhileInitialised", true, kAudioUnitProperty_StreamFormat, output, bytesOf (floatFormat (2, 48000.0)),
      kAudioUnitErr_Initialized, 44100.0, 1156 },
    { "sameFormatWhileInitialised", true, kAudioUnitProperty_StreamFormat, output, bytesOf (floatFormat (2, 44100.0)), noErr, 44100.0, 1156 },
    { "slice", false, kAudioUnitProperty_MaximumFramesPerSlice, global, bytesOf (UInt32 { 512 }), noErr, 44100.0, 512 },
    { "longestSlice", false, kAudioUnitProperty_MaximumFramesPerSlice, global, bytesOf (UInt32 { 65536 }), noErr, 44100.0, 65536 },
    { "sliceNoData", false, kAudioUnitProperty_MaximumFramesPerSlice, global, {}, kAudioUnitErr_InvalidPropertyValue, 44100.0, 1156 },
    { "sliceOfNothing", false, kAudioUnitProperty_MaximumFramesPerSlice, global, bytesOf (UInt32 { 0 }),
      kAudioUnitErr_InvalidPropertyValue, 44100.0, 1156 },
    { "sliceTooLong", false, kAudioUnitProperty_MaximumFramesPerSlice, global, bytesOf (UInt32 { 65537 }),
      kAudioUnitErr_InvalidPropertyValue, 44100.0, 1156 },
    { "sliceWhileInitialised", true, kAudioUnitProperty_MaximumFramesPerSlice, global, bytesOf (UInt32 { 512 }),
      kAudioUnitErr_Initialized, 44100.0, 1156 },
    { "sameSliceWhileInitialised", true, kAudioUnitProperty_MaximumFramesPerSlice, global, bytesOf (UInt32 { 1156 }), noErr, 44100.0, 1156 },
    { "bypassWhileInitialised", true, kAudioUnitProperty_BypassEffect, global, bytesOf (UInt32 { 1 }), noErr, 44100.0, 1156 },
    { "bypassNoData", false, kAudioUnitProperty_BypassEffect, global, {}, kAudio_ParamError, 44100.0, 1156 },
    { "inputCallbackNoData", false, kAudioUnitProperty_SetRenderCallback, input, {}, kAudio_ParamError, 44100.0, 1156 },
    { "inputCallbackTooShort", false, kAudioUnitProperty_SetRenderCallback, input, firstBytesOf (AURenderCallbackStruct {}, 4),
      kAudio_ParamError, 44100.0, 1156 },
    { "inputCallbackOnTheOutput", false, kAudioUnitProperty_SetRenderCallback, output, bytesOf (AURenderCallbackStruct {}),
      kAudioUnitErr_InvalidScope, 44100.0, 1156 },
    { "presetNoData", false, kAudioUnitProperty_PresentPreset, global, {}, kAudio_ParamError, 44100.0, 1156 },
    { "classInfoNoData", false, kAudioUnitProperty_ClassInfo, global, {}, kAudio_ParamError, 44100.0, 1156 },
    { "classInfoWithoutItsBytes", false, kAudioUnitProperty_ClassInfo, global, bytesOf (AUPropertyListData { nullptr, 10 }),
      kAudio_ParamError, 44100.0, 1156 },
    { "latencyIsReadOnly", false, kAudioUnitProperty_Latency, global, bytesOf (0.5), kAudioUnitErr_PropertyNotWritable, 44100.0, 1156 },
    { "unknownProperty", false, 0x7fff, global, bytesOf (UInt32 { 1 }), kAudioUnitErr_InvalidProperty, 44100.0, 1156 },
};

INSTANTIATE_TEST_SUITE_P (Table, SettingProperties, testing::ValuesIn (setCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

//==============================================================================
TEST (AUPresetFile, RenderSavesAndRestoresAupresetFiles)
{
    testutil::TempFolder dir;
    const auto preset = dir.file ("Bright Tenor.aupreset");
    const auto saved = testutil::runRender ({ "-p", "range=Tenor", "-p", "gain=-3", "--save-state", preset.getFullPathName() });
    ASSERT_EQ (saved.exitCode, 0) << saved.output;
    EXPECT_TRUE (preset.loadFileAsString().contains ("<string>Bright Tenor</string>"));

    const auto raw = dir.file ("state.bin");
    const auto restored = testutil::runRender ({ "--state", preset.getFullPathName(), "--save-state", raw.getFullPathName() });
    ASSERT_EQ (restored.exitCode, 0) << restored.output;

    HalvoraAudioProcessor processor;
    juce::MemoryBlock data;
    ASSERT_TRUE (raw.loadFileAsData (data));
    processor.setStateInformation (data.getData(), static_cast<int> (data.getSize()));
    EXPECT_EQ (processor.apvts.getRawParameterValue (ParamID::range)->load(), 2.0f);
    EXPECT_FLOAT_EQ (processor.apvts.getRawParameterValue (ParamID::gain)->load(), -3.0f);

    const auto foreign = dir.file ("foreign.aupreset");
    foreign.replaceWithText (preset.loadFileAsString().replace ("<key>subtype</key>\n\t<integer>", "<key>subtype</key>\n\t<integer>9"));
    const auto refused = testutil::runRender ({ "--state", foreign.getFullPathName(), "--save-state", dir.file ("x.bin").getFullPathName() });
    EXPECT_EQ (refused.exitCode, 1) << refused.output;
    EXPECT_TRUE (refused.output.contains ("foreign.aupreset"));
    EXPECT_FALSE (dir.file ("x.bin").exists());
}
