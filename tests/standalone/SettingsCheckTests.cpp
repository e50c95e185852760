// The standalone app's settings file, checked before juce::PropertiesFile reads it: what
// the framework's own writer produces is accepted and loads back as written; files built
// to hurt the reader (memory bombs, deep nesting, endless loops, bad UTF-8, the binary
// and compressed forms) are refused, and a refused file is moved aside, never lost.

#include "helpers/AddressSpaceLimit.h"
#include "helpers/TestHelpers.h"
#include "helpers/TextFloods.h"
#include "standalone/SettingsCheck.h"
#include "standalone/SettingsScreen.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace
{

using testutil::repeat;

// Room for the largest file of the table and the framework's parse of it: a reader asking
// for the gigabytes a hostile file names fails the test.
const auto* const addressSpaceLimit = testing::AddGlobalTestEnvironment (new testutil::AddressSpaceLimit (rlim_t { 512 } << 20));

std::string settingsWith (const std::string& values)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<PROPERTIES>\n  " + values + "\n</PROPERTIES>\n";
}

std::string value (const std::string& name, const std::string& val)
{
    return "<VALUE name=\"" + name + "\" val=\"" + val + "\"/>";
}

std::string audioSetup (const std::string& attributes, const std::string& children = {})
{
    return "<VALUE name=\"audioSetup\"><DEVICESETUP " + attributes + ">" + children + "</DEVICESETUP></VALUE>";
}

juce::String problemOf (const std::string& bytes)
{
    return findSettingsProblem (bytes.data(), bytes.size());
}

std::string readBytes (const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData (block);
    return { static_cast<const char*> (block.getData()), block.getSize() };
}

juce::PropertiesFile::Options plainOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Halvora";
    options.filenameSuffix = ".settings";
    return options;
}

/** The processor's state with a few controls away from their defaults, as the holder
    saves it.
*/
juce::String savedEffectState()
{
    HalvoraAudioProcessor processor;
    testutil::setPlain (processor, "gain", 7.0f);
    testutil::setPlain (processor, "key", 2.0f);

    juce::MemoryBlock state;
    processor.getStateInformation (state);
    return state.toBase64Encoding();
}

//==============================================================================
struct WrittenCase
{
    const char* name;
    bool withDevice;
    bool withState;
    const char* lastStateFile;
};

class WrittenByTheFramework : public testing::TestWithParam<WrittenCase>
{
};

TEST_P (WrittenByTheFramework, IsAcceptedAndLoadsBackAsWritten)
{
    const auto& c = GetParam();
    testutil::TempFolder folder;
    const auto file = folder.file ("Halvora.settings");
    const auto state = savedEffectState();

    {
        // The keys, and their values' shapes, that the standalone holder and window write.
        juce::PropertiesFile settings (file, plainOptions());
        settings.setValue ("windowX", -40);
        settings.setValue ("windowY", 1200);
        settings.setValue ("shouldMuteInput", false);

        juce::XmlElement setup ("DEVICESETUP");

        if (c.withDevice)
        {
            setup.setAttribute ("deviceType", "ALSA");
            setup.setAttribute ("audioOutputDeviceName", "Built-in Audio Analog Stereo");
            setup.setAttribute ("audioInputDeviceName", "USB \"Mic\" <2> & more");
            setup.setAttribute ("audioDeviceRate", 48000.0);
            setup.setAttribute ("audioDeviceBufferSize", 512);
            setup.setAttribute ("audioDeviceInChans", juce::BigInteger (0b10).toString (2));
            setup.setAttribute ("audioDeviceOutChans", juce::BigInteger (0b11).toString (2));
            auto* midi = setup.createNewChildElement ("MIDIINPUT");
            midi->setAttribute ("name", "Keystation 49");
            midi->setAttribute ("identifier", "hw:2,0,0");
            setup.setAttribute ("defaultMidiOutput", "Synth");
            setup.setAttribute ("defaultMidiOutputDevice", "hw:3,0,0");
        }

        settings.setValue ("audioSetup", c.withDevice ? &setup : nullptr);

        if (c.withState)
            settings.setValue ("filterState", state);

        if (c.lastStateFile != nullptr)
            settings.setValue ("lastStateFile", juce::String::fromUTF8 (c.lastStateFile));

        ASSERT_TRUE (settings.save());
    }

    EXPECT_EQ (findSettingsFileProblem (file), "") << readBytes (file);

    juce::PropertiesFile loaded (file, plainOptions());
    ASSERT_TRUE (loaded.isValidFile());
    EXPECT_EQ (loaded.getIntValue ("windowX"), -40);
    EXPECT_FALSE (loaded.getBoolValue ("shouldMuteInput", true));

    if (c.withDevice)
    {
        const auto setup = loaded.getXmlValue ("audioSetup");
        ASSERT_NE (setup, nullptr);
        EXPECT_EQ (setup->getIntAttribute ("audioDeviceBufferSize"), 512);
        EXPECT_EQ (setup->getStringAttribute ("audioInputDeviceName"), "USB \"Mic\" <2> & more");
    }

    if (c.withState)
    {
        juce::MemoryBlock block;
        ASSERT_TRUE (block.fromBase64Encoding (loaded.getValue ("filterState")));

        HalvoraAudioProcessor processor;
        processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
        EXPECT_FLOAT_EQ (testutil::getPlain (processor, "gain"), 7.0f);
    }

    if (c.lastStateFile != nullptr)
    {
        EXPECT_EQ (loaded.getValue ("lastStateFile"), juce::String::fromUTF8 (c.lastStateFile));
    }
}

INSTANTIATE_TEST_SUITE_P (Table, WrittenByTheFramework,
                          testing::Values (WrittenCase { "Everything", true, true, "/home/ana/Presets/take 3.state" },
                                           WrittenCase { "NoSoundCard", false, true, nullptr },
                                           WrittenCase { "FirstStart", false, false, nullptr },
                                           WrittenCase { "PathThatLooksLikeXml", true, true, "/tmp/<a x=\"1\"/> & é" }),
                          [] (const testing::TestParamInfo<WrittenCase>& caseInfo) { return std::string (caseInfo.param.name); });

TEST (SettingsCheck, AcceptsAnEmptyStateAndTheSmallestFile)
{
    EXPECT_EQ (problemOf (settingsWith (value ("filterState", "0."))), "");
    EXPECT_EQ (problemOf (settingsWith (value ("filterState", "3.AAAA"))), "");
    EXPECT_EQ (problemOf ("<PROPERTIES/>"), "");
}

//==============================================================================
struct HostileCase
{
    const char* name;
    std::string bytes;
};

class HostileSettings : public testing::TestWithParam<HostileCase>
{
};

TEST_P (HostileSettings, IsRefusedAndMovedAside)
{
    const auto& c = GetParam();
    EXPECT_NE (problemOf (c.bytes), "");

    testutil::TempFolder folder;
    const auto file = folder.file ("Halvora.settings");
    const auto bad = folder.file ("Halvora.settings.bad");
    ASSERT_TRUE (bad.replaceWithText ("an older damaged file"));
    std::ofstream (file.getFullPathName().toStdString(), std::ios::binary) << c.bytes; // empty too

    const auto screening = screenSettingsFile (file);
    EXPECT_FALSE (screening.isReadable());
    EXPECT_TRUE (screening.moved);
    EXPECT_FALSE (file.exists());
    EXPECT_EQ (readBytes (bad), c.bytes);

    const auto line = screening.describe (file);
    EXPECT_TRUE (line.startsWith (file.getFullPathName() + ": ")) << line;
    EXPECT_TRUE (line.contains ("moved to " + bad.getFullPathName())) << line;
    EXPECT_FALSE (line.containsAnyOf ("\r\n")) << line;
}

/** Settings behind a comment holding `text`: long ones push the root past the first 8 KiB. */
std::string afterComment (const std::string& text)
{
    return "<!--" + text + "-->\n<PROPERTIES>" + value ("windowX", "1") + "</PROPERTIES>";
}

const std::string gzipBomb = "CPRP\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff" + repeat ("\xed\xc1\x01\x0d", 64);

const HostileCase hostileCases[] {
    { "StateSizeMinusOne", settingsWith (value ("filterState", "-1.AAAA")) },
    { "StateSizeFourGigabytes", settingsWith (value ("filterState", "4294967295.AAAA")) },
    { "StateSizeTwoGigabytesNoCharacters", settingsWith (value ("filterState", "2000000000.")) },
    { "StateSizeLongerThanItsCharacters", settingsWith (value ("filterState", "3.AAA")) },
    { "StateSizeShorterThanItsCharacters", settingsWith (value ("filterState", "2.AAAA")) },
    { "StateSizeWithSpace", settingsWith (value ("filterState", " 3.AAAA")) },
    { "StateSizeLeadingZero", settingsWith (value ("filterState", "03.AAAA")) },
    { "StateWithoutDot", settingsWith (value ("filterState", "AAAA")) },
    { "StateOutsideAlphabet", settingsWith (value ("filterState", "3.AA/A")) },
    { "StateAsElement", settingsWith ("<VALUE name=\"filterState\"><x/></VALUE>") },
    { "DeepNesting", settingsWith (repeat ("<VALUE>", 100000)) },
    { "DeepNestingInAudioSetup", settingsWith (audioSetup ("", repeat ("<MIDIINPUT>", 70) + repeat ("</MIDIINPUT>", 70))) },
    { "ProcessingInstruction", settingsWith ("<?pi x?>" + value ("windowX", "1")) },
    { "ProcessingInstructionAfterRoot", settingsWith (value ("windowX", "1")) + "<?pi x?>text" },
    { "InvalidUtf8", settingsWith (value ("lastStateFile", "/tmp/\xc3\x28")) },
    { "TruncatedUtf8AtEnd", settingsWith (value ("windowX", "1")) + "\xe2\x82" },
    { "ZeroByte", settingsWith (value ("windowX", "1")) + std::string (1, '\0') + "<x>" },
    { "EntityDeclarations", "<!DOCTYPE PROPERTIES [<!ENTITY a \"aaaa\">]>" + settingsWith (value ("windowX", "&a;")) },
    { "GzipBinaryForm", gzipBomb },
    { "BareGzip", gzipBomb.substr (4) },
    { "BinaryForm", std::string ("PROP\xff\xff\xff\x7f", 8) },
    { "UnknownKey", settingsWith (value ("pluginPath", "/tmp/x.so")) },
    { "EmptyKey", settingsWith (value ("", "1")) },
    { "KeyTwice", settingsWith (value ("windowX", "1") + value ("windowX", "2")) },
    { "OtherRoot", "<SETTINGS/>" },
    { "OtherChild", settingsWith ("<ITEM name=\"windowX\" val=\"1\"/>") },
    { "TextInRoot", settingsWith ("hello") },
    { "ExtraAttribute", settingsWith ("<VALUE name=\"windowX\" val=\"1\" x=\"2\"/>") },
    { "First8KiBEndInsideACharacter", afterComment (std::string (8186, 'x') + "\xe2\x82\xac") },
    { "RootBeyondFirst8KiB", afterComment (std::string (8192, 'x')) },
    { "NotXml", "windowX=1\n" },
    { "Empty", "" },
    { "HugeSampleRate", settingsWith (audioSetup ("audioDeviceRate=\"1e300\"")) },
    { "InfiniteSampleRate", settingsWith (audioSetup ("audioDeviceRate=\"1e9999999999\"")) },
    { "NegativeSampleRate", settingsWith (audioSetup ("audioDeviceRate=\"-48000\"")) },
    { "HugeBufferSize", settingsWith (audioSetup ("audioDeviceBufferSize=\"2147483647\"")) },
    { "ZeroBufferSize", settingsWith (audioSetup ("audioDeviceBufferSize=\"0\"")) },
    { "HugeChannelMask", settingsWith (audioSetup ("audioDeviceInChans=\"" + repeat ("1", 100000) + "\"")) },
    { "ChannelMaskNotBinary", settingsWith (audioSetup ("audioDeviceOutChans=\"12\"")) },
    { "UnknownDeviceAttribute", settingsWith (audioSetup ("x=\"1\"")) },
    { "OtherDeviceChild", settingsWith (audioSetup ("", "<PLUGIN/>")) },
    { "TooManyMidiInputs", settingsWith (audioSetup ("", repeat ("<MIDIINPUT name=\"x\"/>", 257))) },
    { "LongDeviceName", settingsWith (audioSetup ("deviceType=\"" + repeat ("x", 5000) + "\"")) },
    { "AudioSetupNotXml", settingsWith (value ("audioSetup", "hello")) },
    { "AudioSetupOtherElement", settingsWith (value ("audioSetup", "&lt;PROPERTIES/&gt;")) },
    { "AudioSetupEscapedDeepNesting", settingsWith (value ("audioSetup", repeat ("&lt;a&gt;", 1000))) },
    { "MuteNotABool", settingsWith (value ("shouldMuteInput", "maybe")) },
    { "WindowFarAway", settingsWith (value ("windowX", "99999999999")) },
    { "LongPath", settingsWith (value ("lastStateFile", "/" + repeat ("a", 5000))) },
    { "LargerThanOneMebibyte", settingsWith ("<!--" + repeat ("x", 1 << 20) + "-->") },
};

INSTANTIATE_TEST_SUITE_P (Table, HostileSettings, testing::ValuesIn (hostileCases),
                          [] (const testing::TestParamInfo<HostileCase>& caseInfo) { return std::string (caseInfo.param.name); });

//==============================================================================
TEST (SettingsScreen, LeavesAMissingFileMissing)
{
    testutil::TempFolder folder;
    const auto file = folder.file ("Halvora.settings");

    const auto screening = screenSettingsFile (file);
    EXPECT_TRUE (screening.isReadable());
    EXPECT_EQ (screening.describe (file), "");
    EXPECT_EQ (folder.numFiles(), 0);
}

TEST (SettingsScreen, LeavesASoundFileWhereItIs)
{
    testutil::TempFolder folder;
    const auto file = folder.file ("Halvora.settings");
    ASSERT_TRUE (file.replaceWithText (settingsWith (value ("windowX", "10"))));

    EXPECT_TRUE (screenSettingsFile (file).isReadable());
    EXPECT_TRUE (file.existsAsFile());
    EXPECT_EQ (folder.numFiles(), 1);
}

TEST (SettingsScreen, RefusesAFolderInPlaceOfTheFile)
{
    testutil::TempFolder folder;
    const auto file = folder.file ("Halvora.settings");
    ASSERT_TRUE (file.createDirectory());

    EXPECT_EQ (findSettingsFileProblem (file), "not a regular file");
}

TEST (SettingsScreen, SaysSoWhenTheFileCannotBeMovedAside)
{
    testutil::TempFolder folder;
    const auto file = folder.file ("Halvora.settings");
    ASSERT_TRUE (file.replaceWithText (settingsWith (value ("filterState", "-1.AAAA"))));
    ASSERT_TRUE (folder.file ("Halvora.settings.bad").getChildFile ("keep").create()); // a folder, not empty

    const auto screening = screenSettingsFile (file);
    EXPECT_FALSE (screening.isReadable());
    EXPECT_FALSE (screening.moved);
    EXPECT_TRUE (file.existsAsFile());
    EXPECT_TRUE (screening.describe (file).contains ("could not be moved aside"));
}

} // namespace
