// Saved states and presets built to hurt: deep nesting, floods of attributes, keys,
// children and entity references, huge single values. Each is restored the way a host
// restores it, on a thread with a small stack as hosts often use, and must be refused
// (nothing changes) or harmless (every parameter stays valid). A hang shows as this
// binary's CTest timeout.

#include "helpers/AddressSpaceLimit.h"
#include "state/StateFraming.h"
#include "helpers/HostileDocuments.h"
#include "helpers/TestHelpers.h"
#include "state/SavedState.h"
#include "HalvoraVocabulary.h"

#include "state/AUPresetState.h"
#include "state/PropertyList.h"
#include "audiounit/AudioUnitHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace
{

using testutil::attributes;
using testutil::declaration;
using testutil::nest;
using testutil::presetDocument;
using testutil::repeat;

std::string stateDocument (const std::string& rootAttributes, const std::string& content)
{
    return declaration + "<PARAMS" + rootAttributes + ">" + content + "</PARAMS>";
}

std::string presetWithState (const std::string& stateText)
{
    const auto block = *halvora::StateFraming::frame (stateText);
    return presetDocument ("<key>jucePluginState</key><data>" + juce::Base64::toBase64 (block.getData(), block.getSize()).toStdString() + "</data>");
}

std::string keys (int count)
{
    std::string result;

    for (int i = 0; i < count; ++i)
        result += "<key>k" + std::to_string (i) + "</key><integer>1</integer>";

    return result;
}

/** A root with 40 attributes, each claiming a binary block of 2,000,000,000 bytes. */
std::string manyBinaryBlocks()
{
    std::string t = "<PARAMS";

    for (int i = 0; i < 40; ++i)
        t += " base64:a" + std::to_string (i) + "=\"2000000000.\"";

    return t + "/>";
}

enum class Door
{
    state,    // setStateInformation, as every plug-in format calls it
    preset,   // an .aupreset file read by the Audio Unit layer
    classInfo // the Audio Unit layer's ClassInfo property, as a host restores a project
};
enum class Outcome
{
    refused,      // nothing changes; a preset's restore reports an error
    stateIgnored, // a preset that reads fine around a state that is refused
    harmless      // taken, and every parameter stays valid
};

struct HostileInput
{
    const char* name;
    Door door;
    Outcome outcome;
    std::function<std::string()> make;
};

void PrintTo (const HostileInput& input, std::ostream* os) { *os << input.name; }

const std::string gainSix = "<PARAM id=\"gain\" value=\"6\"/>";

const HostileInput hostileInputs[] {
    // Nesting: the framework's reader recurses once per level.
    { "StateNestedUnknownElements", Door::state, Outcome::refused, [] { return stateDocument ("", nest ("<a>", "</a>", 100000)); } },
    { "StateNestedParams", Door::state, Outcome::refused,
      [] { return stateDocument ("", nest ("<PARAM id=\"gain\" value=\"6\">", "</PARAM>", 100000)); } },
    { "StateNestedSelfClosingTail", Door::state, Outcome::refused, [] { return stateDocument ("", nest ("<a>", "</a>", 20000, gainSix)); } },
    { "StateNestedUnclosed", Door::state, Outcome::refused, [] { return declaration + "<PARAMS>" + repeat ("<a>", 200000); } },
    { "StateNestedJustBelowLimit", Door::state, Outcome::harmless, [] { return stateDocument ("", nest ("<a>", "</a>", 62, gainSix)); } },
    { "PresetNestedArrays", Door::preset, Outcome::refused, [] { return presetDocument ("<key>x</key>" + nest ("<array>", "</array>", 100000)); } },
    { "PresetNestedDictionaries", Door::preset, Outcome::refused,
      [] { return presetDocument ("<key>x</key>" + nest ("<dict><key>k</key>", "</dict>", 100000, "<true/>")); } },
    { "PresetNestedStrings", Door::preset, Outcome::refused,
      [] { return presetDocument ("<key>x</key>" + nest ("<string>", "</string>", 100000)); } },
    { "PresetStateNestedInside", Door::preset, Outcome::stateIgnored,
      [] { return presetWithState (stateDocument ("", nest ("<a>", "</a>", 100000))); } },

    // Floods: each new attribute, key or child is checked against all earlier ones.
    { "StateRootAttributeFlood", Door::state, Outcome::refused, [] { return stateDocument (attributes (100000), gainSix); } },
    { "StateChildAttributeFlood", Door::state, Outcome::refused,
      [] { return stateDocument ("", "<PARAM id=\"gain\" value=\"6\"" + attributes (100000) + "/>"); } },
    { "StateChildFlood", Door::state, Outcome::refused, [] { return stateDocument ("", repeat (gainSix, 200000)); } },
    { "StateManyUnknownChildren", Door::state, Outcome::harmless,
      [] { return stateDocument ("", repeat ("<PARAM id=\"other\" value=\"1\"/>", 4000) + gainSix); } },
    { "StateReferenceFloodInValue", Door::state, Outcome::refused,
      [] { return stateDocument ("", "<PARAM id=\"gain\" value=\"" + repeat ("&amp;", 200000) + "\"/>"); } },
    { "StateReferenceFloodInText", Door::state, Outcome::harmless, [] { return stateDocument ("", repeat ("&amp;x", 200000) + gainSix); } },
    { "StateUnknownEntities", Door::state, Outcome::refused, [] { return stateDocument ("", repeat ("&e;", 200000) + gainSix); } },
    { "StateInternalDocumentType", Door::state, Outcome::refused,
      [] {
          const auto entity = "<!DOCTYPE PARAMS [<!ENTITY e \"" + repeat ("x", 100000) + "\">]>";
          return declaration + entity + "<PARAMS>" + repeat ("&e;", 1000) + gainSix + "</PARAMS>";
      } },
    { "StateCommentFlood", Door::state, Outcome::harmless, [] { return stateDocument ("", repeat ("<!---->", 200000) + gainSix); } },
    { "PresetKeyFlood", Door::preset, Outcome::refused, [] { return presetDocument (keys (150000)); } },
    { "PresetArrayItemFlood", Door::preset, Outcome::refused,
      [] { return presetDocument ("<key>x</key><array>" + repeat ("<true/>", 200000) + "</array>"); } },
    { "PresetManyDictionaries", Door::preset, Outcome::refused,
      [] { return presetDocument ("<key>x</key><array>" + repeat ("<dict>" + keys (3) + "</dict>", 4000) + "</array>"); } },
    { "PresetDuplicateEmptyData", Door::preset, Outcome::refused,
      [] { return presetDocument ("<key>x</key><data></data><key>x</key><data></data>"); } },
    { "PresetKeysJustBelowLimit", Door::preset, Outcome::harmless, [] { return presetDocument (keys (2000)); } },

    // Huge single values.
    { "StateExponentBeyondAnInt", Door::state, Outcome::harmless,
      [] { return stateDocument ("", "<PARAM id=\"gain\" value=\"1e99999999999\"/><PARAM id=\"formant\" value=\"-1e-99999999999\"/>"); } },
    { "StateHugeNumber", Door::state, Outcome::harmless,
      [] { return stateDocument ("", "<PARAM id=\"gain\" value=\"" + repeat ("9", 4 << 20) + "\"/>"); } },
    { "StateHugeUnknownAttribute", Door::state, Outcome::harmless,
      [] { return stateDocument (" note=\"" + repeat ("x", 4 << 20) + "\"", gainSix); } },
    { "StateHugeText", Door::state, Outcome::harmless, [] { return stateDocument ("", repeat ("x", 4 << 20) + gainSix); } },
    { "PresetHugeData", Door::preset, Outcome::harmless,
      [] { return presetDocument ("<key>jucePluginState</key><data>" + repeat ("QUFB\n", 1 << 20) + "</data>"); } },
    { "PresetHugeString", Door::preset, Outcome::harmless,
      [] { return presetDocument ("<key>note</key><string>" + repeat ("x", 4 << 20) + "</string>"); } },
    { "PresetStateWithHugeNumber", Door::preset, Outcome::harmless,
      [] { return presetWithState (stateDocument ("", "<PARAM id=\"gain\" value=\"" + repeat ("9", 1 << 20) + "\"/>")); } },

    // Attributes the framework's value-tree reader takes as binary blocks of the size before
    // the dot: negative, wrapping, huge, many. Read past by ours, never allocated.
    { "StateBinaryBlockNegative", Door::state, Outcome::refused, [] { return "<P base64:a=\"-1.\"/>"; } },
    { "StateBinaryBlockWrapping", Door::state, Outcome::refused, [] { return "<P base64:a=\"4294967295.\"/>"; } },
    { "StateBinaryBlockHuge", Door::state, Outcome::refused, [] { return "<PARAMS base64:a=\"2000000000.AAAA\"/>"; } },
    { "StateBinaryBlocksMany", Door::state, Outcome::refused, [] { return manyBinaryBlocks(); } },
    { "StateBinaryBlockBesideAValue", Door::state, Outcome::harmless,
      [] { return stateDocument ("", "<PARAM id=\"gain\" base64:value=\"-1.\" value=\"6\"/>"); } },
    { "StateBinaryBlockInsideAParameter", Door::state, Outcome::harmless,
      [] { return stateDocument ("", "<PARAM id=\"gain\" value=\"6\"><X base64:b=\"-1.\"/></PARAM>"); } },
    { "PresetBinaryBlockNegative", Door::preset, Outcome::stateIgnored, [] { return presetWithState ("<P base64:a=\"-1.\"/>"); } },
    { "PresetBinaryBlockWrapping", Door::preset, Outcome::stateIgnored, [] { return presetWithState ("<P base64:a=\"4294967295.\"/>"); } },
    { "ClassInfoBinaryBlockNegative", Door::classInfo, Outcome::stateIgnored, [] { return presetWithState ("<P base64:a=\"-1.\"/>"); } },
    { "ClassInfoBinaryBlocksMany", Door::classInfo, Outcome::stateIgnored, [] { return presetWithState (manyBinaryBlocks()); } },

    // Given twice: which one counts would depend on the reader, and the next save would
    // write the other. Refused.
    { "StateAttributeTwice", Door::state, Outcome::refused, [] { return stateDocument ("", "<PARAM id=\"gain\" value=\"3.0\" value=\"-5\"/>"); } },
    { "StateIdTwice", Door::state, Outcome::refused, [] { return stateDocument ("", "<PARAM id=\"gain\" id=\"key\" value=\"3\"/>"); } },
    { "StateParameterTwice", Door::state, Outcome::refused, [] { return stateDocument ("", gainSix + "<PARAM id=\"gain\" value=\"-5\"/>"); } },
    { "StateRootAttributeTwice", Door::state, Outcome::refused, [] { return stateDocument (" a=\"1\" a=\"2\"", gainSix); } },
    { "PresetParameterTwice", Door::preset, Outcome::stateIgnored, [] { return presetWithState (stateDocument ("", gainSix + gainSix)); } },
    { "ClassInfoAttributeTwice", Door::classInfo, Outcome::stateIgnored,
      [] { return presetWithState (stateDocument ("", "<PARAM id=\"gain\" value=\"3.0\" value=\"-5\"/>")); } },

    // What hand edits write: taken.
    { "StateByteOrderMark", Door::state, Outcome::harmless, [] { return "\xef\xbb\xbf" + stateDocument ("", gainSix); } },
    { "StateAmpersandsInCommentsAndCdata", Door::state, Outcome::harmless,
      [] { return stateDocument ("", "<!-- & &bogus; <x> --><![CDATA[ & < ]]>" + gainSix); } },
    { "ClassInfoByteOrderMark", Door::classInfo, Outcome::harmless, [] { return presetWithState ("\xef\xbb\xbf" + stateDocument ("", gainSix)); } },
};

// Every restore here runs under an address-space limit: room for the largest inputs of the
// table (a few MB each) and the arenas of the threads that restore them.
const auto* const addressSpaceLimit = testing::AddGlobalTestEnvironment (new testutil::AddressSpaceLimit (rlim_t { 768 } << 20));

/** Runs a job on a thread whose stack is as small as some hosts give their loading threads. */
class SmallStackThread final : public juce::Thread
{
public:
    static constexpr size_t stackSize = 256 * 1024;

    explicit SmallStackThread (std::function<void()> jobToRun)
        : Thread ("hostile restore", stackSize),
          job (std::move (jobToRun))
    {
    }

    void run() override { job(); }

    static void runAndWait (std::function<void()> job)
    {
        SmallStackThread thread (std::move (job));
        ASSERT_TRUE (thread.startThread());
        thread.waitForThreadToExit (-1);
    }

private:
    std::function<void()> job;
};

std::vector<float> snapshot (juce::AudioProcessor& processor)
{
    std::vector<float> values;
    for (auto* p : processor.getParameters())
        values.push_back (p->getValue());
    return values;
}

} // namespace

class HostileRestore : public testing::TestWithParam<HostileInput>
{
};

TEST_P (HostileRestore, IsRefusedOrHarmlessOnASmallStack)
{
    const auto& input = GetParam();
    const auto text = input.make();

    // The Audio Unit door restores into the processor of a hosted instance.
    std::unique_ptr<testhost::HostedUnit> unit;
    std::unique_ptr<HalvoraAudioProcessor> ownProcessor;

    if (input.door == Door::classInfo)
        unit = std::make_unique<testhost::HostedUnit>();
    else
        ownProcessor = std::make_unique<HalvoraAudioProcessor>();

    auto& processor = unit != nullptr ? unit->object().getProcessor() : *ownProcessor;
    testutil::setPlain (processor, halvora::ParamID::gain, -7.5f);
    testutil::setPlain (processor, halvora::ParamID::key, 5.0f);
    testutil::setPlain (processor, halvora::ParamID::morvel, 0.9f);
    const auto before = snapshot (processor);

    OSStatus status = noErr;

    SmallStackThread::runAndWait ([&] {
        if (input.door == Door::state)
        {
            const auto block = *halvora::StateFraming::frame (text);
            processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
        }
        else if (input.door == Door::preset)
        {
            status = AUPresetState::restoreFromPropertyList (processor, AUPresetState::halvoraDescription(), text.data(), text.size());
        }
        else
        {
            status = unit->restorePreset (text);
        }
    });

    if (input.outcome != Outcome::harmless)
    {
        EXPECT_EQ (snapshot (processor), before);

        if (input.door != Door::state)
        {
            EXPECT_EQ (status == noErr, input.outcome == Outcome::stateIgnored);
        }
    }
    else
    {
        for (auto* p : processor.getParameters())
        {
            const auto value = p->getValue();
            EXPECT_TRUE (value >= 0.0f && value <= 1.0f) << p->getName (64);
        }

        if (input.door != Door::state)
        {
            EXPECT_EQ (status, noErr);
        }
    }

    // Whatever came in, the processor still saves a state it can read back.
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    EXPECT_TRUE (HalvoraAudioProcessor::isReadableState (saved.getData(), static_cast<int> (saved.getSize())));
}

INSTANTIATE_TEST_SUITE_P (Table, HostileRestore, testing::ValuesIn (hostileInputs),
                          [] (const testing::TestParamInfo<HostileInput>& testInfo) { return std::string (testInfo.param.name); });

TEST (HostileRestore, InputsJustBelowTheLimitsStillRestore)
{
    HalvoraAudioProcessor processor;

    SmallStackThread::runAndWait ([&] {
        const auto block = *halvora::StateFraming::frame (stateDocument (attributes (64), nest ("<a>", "</a>", 62) + gainSix));
        processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
    });

    EXPECT_EQ (testutil::getPlain (processor, halvora::ParamID::gain), 6.0f);
}

TEST (HostileRestore, EveryFuzzingFindingIsHarmlessOnASmallStack)
{
    const juce::File corpus (HALVORA_FUZZ_CORPUS_DIR);
    int restored = 0;

    for (const auto* door : { "state", "aupreset" })
    {
        for (const auto& file : corpus.getChildFile (door).findChildFiles (juce::File::findFiles, false))
        {
            juce::MemoryBlock bytes;
            ASSERT_TRUE (file.loadFileAsData (bytes));

            HalvoraAudioProcessor processor;
            testutil::setPlain (processor, halvora::ParamID::gain, -7.5f);
            const auto before = snapshot (processor);
            OSStatus status = noErr;

            SmallStackThread::runAndWait ([&] {
                if (juce::String (door) == "state")
                    processor.setStateInformation (bytes.getData(), static_cast<int> (bytes.getSize()));
                else
                    status = AUPresetState::restoreFromPropertyList (processor, AUPresetState::halvoraDescription(),
                                                                     bytes.getData(), bytes.getSize());
            });

            const auto readable = juce::String (door) == "state"
                                    ? HalvoraAudioProcessor::isReadableState (bytes.getData(), static_cast<int> (bytes.getSize()))
                                    : status == noErr;

            if (! readable)
            {
                EXPECT_EQ (snapshot (processor), before) << file.getFileName();
            }

            for (auto* p : processor.getParameters())
                EXPECT_TRUE (p->getValue() >= 0.0f && p->getValue() <= 1.0f) << file.getFileName();

            ++restored;
        }
    }

    EXPECT_GT (restored, 100);
}

TEST (HostileRestore, EveryAcceptedInputKeepsItsSoundThroughASaveAndRestore)
{
    std::vector<std::pair<std::string, juce::MemoryBlock>> accepted;

    for (const auto& input : hostileInputs)
    {
        if (input.door != Door::state)
            continue;

        auto block = *halvora::StateFraming::frame (input.make());

        if (HalvoraAudioProcessor::isReadableState (block.getData(), static_cast<int> (block.getSize())))
            accepted.emplace_back (input.name, std::move (block));
    }

    for (const auto& file : juce::File (HALVORA_FUZZ_CORPUS_DIR).getChildFile ("state").findChildFiles (juce::File::findFiles, false))
    {
        juce::MemoryBlock block;
        ASSERT_TRUE (file.loadFileAsData (block));

        if (HalvoraAudioProcessor::isReadableState (block.getData(), static_cast<int> (block.getSize())))
            accepted.emplace_back (file.getFileName().toStdString(), std::move (block));
    }

    ASSERT_GT (accepted.size(), 20u);

    const auto save = [] (juce::AudioProcessor& processor) {
        juce::MemoryBlock block;
        processor.getStateInformation (block);
        return block;
    };

    const auto render = [] (HalvoraAudioProcessor& processor) {
        processor.setActiveMvTarget (HalvoraAudioProcessor::MvTarget::keyButton);
        processor.prepareToPlay (44100.0, 512);
        auto signal = testutil::makeTestSignal (2, 4 * 512, 44100.0);
        juce::MidiBuffer midi;

        for (int start = 0; start < signal.getNumSamples(); start += 512)
        {
            juce::AudioBuffer<float> block (signal.getArrayOfWritePointers(), 2, start, 512);
            processor.processBlock (block, midi);
        }

        return signal;
    };

    for (const auto& [name, block] : accepted)
    {
        HalvoraAudioProcessor first;
        first.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
        const auto saved = save (first);

        HalvoraAudioProcessor second;
        second.setStateInformation (saved.getData(), static_cast<int> (saved.getSize()));
        EXPECT_EQ (snapshot (second), snapshot (first)) << name;
        EXPECT_EQ (save (second), saved) << name;

        const auto firstSound = render (first);
        const auto secondSound = render (second);

        for (int ch = 0; ch < 2; ++ch)
            ASSERT_EQ (std::memcmp (firstSound.getReadPointer (ch), secondSound.getReadPointer (ch), sizeof (float) * 4 * 512), 0) << name;
    }
}
