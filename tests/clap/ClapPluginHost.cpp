// The CLAP plug-in in a small host of ours, loaded from Halvora.clap with dlopen as hosts
// load it: its descriptor and features, its ports and parameters as a host lists them,
// parameter text both ways, what it plays against halvora-render at the same settings and
// block length to the bit, hostile parameter values, and its state through host streams.

#include "clap/ClapTestHost.h"
#include "helpers/TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
using claphost::Host;
using claphost::InputEvents;
using claphost::Instance;

constexpr const char* pluginId = "org.halvora.halvora";

const clap_plugin_factory_t* factory()
{
    static const auto* const f = claphost::factoryOf (claphost::loadEntry (HALVORA_CLAP_BINARY));
    return f;
}

/** A host and one instance of the plug-in in it. */
struct Hosted
{
    Host host;
    Instance plugin { factory(), host, pluginId };
};

//==============================================================================
TEST (ClapEntry, OffersOnePluginWithItsDescriptor)
{
    const auto* f = factory();
    ASSERT_NE (f, nullptr);
    ASSERT_EQ (f->get_plugin_count (f), 1u);
    EXPECT_EQ (f->get_plugin_descriptor (f, 1), nullptr);

    const auto* d = f->get_plugin_descriptor (f, 0);
    ASSERT_NE (d, nullptr);
    EXPECT_TRUE (clap_version_is_compatible (d->clap_version));
    EXPECT_STREQ (d->id, pluginId);
    EXPECT_STREQ (d->name, "Halvora");
    EXPECT_STREQ (d->version, HALVORA_VERSION_STRING);
    EXPECT_GT (std::strlen (d->description), 20u);

    std::vector<std::string> features;
    for (const auto* const* feature = d->features; *feature != nullptr; ++feature)
        features.emplace_back (*feature);

    EXPECT_EQ (features, (std::vector<std::string> { "audio-effect", "pitch-correction", "stereo", "mono" }));
}

TEST (ClapEntry, MakesNothingForAnotherId)
{
    Host host;
    EXPECT_EQ (factory()->create_plugin (factory(), &host.host, "org.halvora.other"), nullptr);
}

TEST (ClapPorts, OneStereoInputOneStereoOutputNoLatency)
{
    Hosted h;
    ASSERT_TRUE (h.plugin.isLoaded());

    for (const bool isInput : { true, false })
    {
        ASSERT_EQ (h.plugin.ports->count (h.plugin.plugin, isInput), 1u);
        clap_audio_port_info_t info {};
        ASSERT_TRUE (h.plugin.ports->get (h.plugin.plugin, 0, isInput, &info));
        EXPECT_EQ (info.channel_count, 2u);
        EXPECT_STREQ (info.port_type, CLAP_PORT_STEREO);
        EXPECT_NE (info.flags & CLAP_AUDIO_PORT_IS_MAIN, 0u);
    }

    ASSERT_TRUE (h.plugin.activate (48000.0, 512));
    EXPECT_EQ (h.plugin.latency->get (h.plugin.plugin), 0u);
}

//==============================================================================
struct InfoCase
{
    clap_id id;
    const char* name;
    double minimum, maximum, defaultValue;
    bool stepped;
};

void PrintTo (const InfoCase& c, std::ostream* os)
{
    *os << c.name;
}

class ClapParamInfo : public testing::TestWithParam<InfoCase>
{
};

TEST_P (ClapParamInfo, InTheVocabularysOrderWithPlainRanges)
{
    const auto& c = GetParam();
    Hosted h;
    ASSERT_EQ (h.plugin.params->count (h.plugin.plugin), 11u);

    clap_param_info_t info {};
    ASSERT_TRUE (h.plugin.params->get_info (h.plugin.plugin, c.id, &info));
    EXPECT_EQ (info.id, c.id);
    EXPECT_STREQ (info.name, c.name);
    EXPECT_FLOAT_EQ (static_cast<float> (info.min_value), static_cast<float> (c.minimum));
    EXPECT_FLOAT_EQ (static_cast<float> (info.max_value), static_cast<float> (c.maximum));
    EXPECT_FLOAT_EQ (static_cast<float> (info.default_value), static_cast<float> (c.defaultValue));
    EXPECT_EQ ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, c.stepped);
    EXPECT_NE (info.flags & CLAP_PARAM_IS_AUTOMATABLE, 0u);
    EXPECT_FLOAT_EQ (static_cast<float> (h.plugin.value (c.id)), static_cast<float> (c.defaultValue));
}

const InfoCase infoCases[] {
    { 0, "Formant", -1.0, 1.0, 0.0, false },
    { 1, "Gain (dB)", -24.0, 24.0, 0.0, false },
    { 2, "Vibrato Rate (Hz)", 0.1, 10.0, 5.0, false },
    { 3, "Vibrato Depth (%)", 0.0, 100.0, 0.0, false },
    { 4, "Delay", 0.0, 100.0, 0.0, false },
    { 5, "Reverb", 0.0, 100.0, 0.0, false },
    { 6, "Morvel", 0.0, 1.0, 0.5, false },
    { 7, "Range", 0.0, 4.0, 0.0, true },
    { 8, "Voice", 0.0, 1.0, 0.0, true },
    { 9, "Key", 0.0, 11.0, 0.0, true },
    { 10, "Scale", 0.0, 4.0, 0.0, true },
};

INSTANTIATE_TEST_SUITE_P (Hosts, ClapParamInfo, testing::ValuesIn (infoCases), [] (const auto& testInfo) {
    return std::to_string (testInfo.param.id);
});

TEST (ClapParamInfo, NothingBeyondTheEleven)
{
    Hosted h;
    clap_param_info_t info {};
    EXPECT_FALSE (h.plugin.params->get_info (h.plugin.plugin, 11, &info));
    double value = 0.0;
    EXPECT_FALSE (h.plugin.params->get_value (h.plugin.plugin, 11, &value));
}

//==============================================================================
/** Every choice's entries by name, as the vocabulary lists them. */
const std::vector<std::pair<clap_id, std::vector<std::string>>> choiceEntries {
    { 7, { "Soprano", "Alto", "Tenor", "Baritone", "Bass" } },
    { 8, { "Female", "Male" } },
    { 9, { "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" } },
    { 10, { "Major", "Minor", "Dorian", "Mixolydian", "Chromatic" } },
};

double textToValue (Instance& plugin, clap_id id, const char* text)
{
    double value = std::numeric_limits<double>::quiet_NaN();
    return plugin.params->text_to_value (plugin.plugin, id, text, &value) ? value : -999.0;
}

TEST (ClapParamText, EveryChoiceByNameAndIndexBothWays)
{
    Hosted h;

    for (const auto& [id, names] : choiceEntries)
    {
        for (size_t i = 0; i < names.size(); ++i)
        {
            const auto index = static_cast<double> (i);
            EXPECT_EQ (h.plugin.text (id, index), names[i]);
            EXPECT_EQ (textToValue (h.plugin, id, names[i].c_str()), index) << names[i];
            EXPECT_EQ (textToValue (h.plugin, id, std::to_string (i).c_str()), index) << names[i];

            std::string lower = names[i];
            for (auto& ch : lower)
                ch = static_cast<char> (std::tolower (static_cast<unsigned char> (ch)));
            EXPECT_EQ (textToValue (h.plugin, id, (" " + lower + " ").c_str()), index) << lower;
        }
    }

    // 2.7 on the key is D#, as every door rounds it.
    EXPECT_EQ (h.plugin.text (9, 2.7), "D#");
}

struct TextCase
{
    clap_id id;
    double plain;
    const char* text; // worked out from the unit and the parameter's step
};

void PrintTo (const TextCase& c, std::ostream* os)
{
    *os << c.id << " " << c.text;
}

class ClapPlainText : public testing::TestWithParam<TextCase>
{
};

TEST_P (ClapPlainText, ShowsTheUnitAndReadsItBack)
{
    const auto& c = GetParam();
    Hosted h;
    const auto text = h.plugin.text (c.id, c.plain);
    EXPECT_EQ (text, c.text);

    // What the text reads back as is the value the parameter holds for the plain value.
    InputEvents events;
    events.add (c.id, c.plain);
    h.plugin.flush (events);
    EXPECT_EQ (textToValue (h.plugin, c.id, text.c_str()), h.plugin.value (c.id));
}

const TextCase textCases[] {
    { 1, -6.0, "-6.0 dB" },
    { 1, 3.25, "3.25 dB" },
    { 1, 3.004, "3.0 dB" }, // onto the 0.01 dB step
    { 1, 99.0, "24.0 dB" }, // beyond the range: the nearer end
    { 2, 5.0, "5.0 Hz" },
    { 2, 6.125, "6.125 Hz" },
    { 3, 30.0, "30 %" },
    { 4, 33.33, "33.3 %" },
    { 5, 100.0, "100 %" },
    { 0, 0.3, "0.3" },
    { 0, -0.0, "0.0" },
    { 6, 0.8, "0.8" },
};

INSTANTIATE_TEST_SUITE_P (Hosts, ClapPlainText, testing::ValuesIn (textCases), [] (const auto& testInfo) {
    return "Case" + std::to_string (testInfo.index);
});

TEST (ClapParamText, ReadsNumbersWithOrWithoutTheUnitAndRefusesWords)
{
    Hosted h;
    EXPECT_EQ (textToValue (h.plugin, 1, "-6 dB"), -6.0);
    EXPECT_EQ (textToValue (h.plugin, 1, "-6"), -6.0);
    EXPECT_EQ (textToValue (h.plugin, 1, "-6DB"), -6.0);
    EXPECT_EQ (textToValue (h.plugin, 1, "+30"), 24.0);
    EXPECT_FLOAT_EQ (static_cast<float> (textToValue (h.plugin, 3, "30%")), 30.0f);
    EXPECT_EQ (textToValue (h.plugin, 1, "loud"), -999.0);
    EXPECT_EQ (textToValue (h.plugin, 1, ""), -999.0);
    EXPECT_EQ (textToValue (h.plugin, 9, "H"), -999.0);
    EXPECT_EQ (textToValue (h.plugin, 11, "1"), -999.0);
}

//==============================================================================
/** Every parameter away from its default: ids, values and halvora-render's -p settings. */
const std::vector<std::pair<clap_id, double>> settings {
    { 0, 0.3 },
    { 1, -4.5 },
    { 2, 6.25 },
    { 3, 30.0 },
    { 4, 25.0 },
    { 5, 20.0 },
    { 6, 0.8 },
    { 7, 2.0 },
    { 8, 1.0 },
    { 9, 3.0 },
    { 10, 1.0 },
};

const char* const settingIds[] { "formant", "gain", "vibRate", "vibDepth", "delayMix", "reverbMix", "morvel", "range", "voice", "key", "scale" };

InputEvents everySetting()
{
    InputEvents events;
    for (const auto& [id, value] : settings)
        events.add (id, value, 17); // applied from the block's start whatever its time
    return events;
}

/** Plays the buffer through in process calls of `blockLength`, the events in the first. */
juce::AudioBuffer<float> play (Instance& plugin, const juce::AudioBuffer<float>& input, int blockLength, const InputEvents& first)
{
    const auto channels = input.getNumChannels();
    juce::AudioBuffer<float> in (input), output (channels, input.getNumSamples());
    InputEvents none;

    for (int start = 0; start < input.getNumSamples(); start += blockLength)
    {
        const auto n = std::min (blockLength, input.getNumSamples() - start);
        std::vector<float*> ins, outs;

        for (int ch = 0; ch < channels; ++ch)
        {
            ins.push_back (in.getWritePointer (ch, start));
            outs.push_back (output.getWritePointer (ch, start));
        }

        plugin.process (ins, outs, static_cast<std::uint32_t> (n), start == 0 ? first : none);
    }

    return output;
}

juce::AudioBuffer<float> renderWithTheRenderer (const juce::AudioBuffer<float>& input, double rate, int block)
{
    juce::StringArray options { "-q", "--block", juce::String (block) };

    for (const auto& [id, value] : settings)
        options.addArray ({ "-p", juce::String (settingIds[id]) + "=" + juce::String (value) });

    return testutil::renderThroughRenderer (input, rate, options);
}

using testutil::firstDifference;

struct RenderCase
{
    const char* name;
    double rate;
    std::uint32_t maxBlock; // activate()'s maximum, and the length of every process call
    int channels;
};

void PrintTo (const RenderCase& c, std::ostream* os)
{
    *os << c.name;
}

class ClapMatchesTheRenderer : public testing::TestWithParam<RenderCase>
{
};

TEST_P (ClapMatchesTheRenderer, BitForBit)
{
    const auto& c = GetParam();
    const auto input = testutil::makeTestSignal (c.channels, 40000, c.rate, 3);

    Hosted h;
    ASSERT_TRUE (h.plugin.isLoaded());
    ASSERT_TRUE (h.plugin.activate (c.rate, c.maxBlock));

    const auto played = play (h.plugin, input, static_cast<int> (c.maxBlock), everySetting());
    const auto rendered = renderWithTheRenderer (input, c.rate, static_cast<int> (c.maxBlock));
    EXPECT_EQ (firstDifference (played, rendered), -1);

    for (const auto& [id, value] : settings)
        EXPECT_FLOAT_EQ (static_cast<float> (h.plugin.value (id)), static_cast<float> (value)) << id;
}

const RenderCase renderCases[] {
    { "At44100Max512", 44100.0, 512, 2 },
    { "At44100Max2048", 44100.0, 2048, 2 },
    { "At48000Max512", 48000.0, 512, 2 },
    { "At48000Max2048", 48000.0, 2048, 2 },
    { "MonoBuffersAt48000Max512", 48000.0, 512, 1 },
};

INSTANTIATE_TEST_SUITE_P (Hosts, ClapMatchesTheRenderer, testing::ValuesIn (renderCases), [] (const auto& testInfo) {
    return std::string (testInfo.param.name);
});

//==============================================================================
TEST (ClapParamEvents, HostileValuesLeaveTheOutputFiniteAndTheRuleHeld)
{
    constexpr double rate = 44100.0;
    const auto input = testutil::makeTestSignal (2, 4096, rate, 9);
    const double hostile[] { std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), 1.0e30, -1.0e30, 1.0e300 };

    for (const auto value : hostile)
    {
        Hosted h;
        ASSERT_TRUE (h.plugin.activate (rate, 512));
        InputEvents events;

        for (clap_id id = 0; id < 11; ++id)
            events.add (id, value);

        const auto played = play (h.plugin, input, 512, events);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < played.getNumSamples(); ++i)
                ASSERT_TRUE (std::isfinite (played.getSample (ch, i))) << "value " << value << " sample " << i;

        // The gain as the rule holds it: NaN the default, beyond the range the nearer end.
        const auto expectedGain = std::isnan (value) ? 0.0 : (value > 0 ? 24.0 : -24.0);
        EXPECT_EQ (h.plugin.value (1), expectedGain) << value;
        const auto expectedKey = std::isnan (value) ? 0.0 : (value > 0 ? 11.0 : 0.0);
        EXPECT_EQ (h.plugin.value (9), expectedKey) << value;
    }
}

//==============================================================================
TEST (ClapState, RestoresIntoAFreshInstanceWithTheSameValuesAndBits)
{
    constexpr double rate = 48000.0;
    const auto input = testutil::makeTestSignal (2, 20000, rate, 5);

    Hosted saved;
    ASSERT_TRUE (saved.plugin.activate (rate, 512));
    const auto reference = play (saved.plugin, input, 512, everySetting());
    const auto bytes = saved.plugin.save();
    ASSERT_FALSE (bytes.empty());
    EXPECT_NE (bytes.find ("id=\"gain\" value=\"-4.5\""), std::string::npos) << bytes;

    // Restored from a stream that hands out one byte per read.
    Hosted restored;
    claphost::InStream stream (bytes, 1);
    ASSERT_TRUE (restored.plugin.state->load (restored.plugin.plugin, &stream.stream));
    EXPECT_GT (stream.reads, static_cast<int> (bytes.size()));
    EXPECT_EQ (restored.host.valueRescans, 1);

    for (const auto& [id, value] : settings)
        EXPECT_FLOAT_EQ (static_cast<float> (restored.plugin.value (id)), static_cast<float> (value)) << id;

    ASSERT_TRUE (restored.plugin.activate (rate, 512));
    EXPECT_EQ (firstDifference (play (restored.plugin, input, 512, InputEvents {}), reference), -1);
    EXPECT_EQ (restored.plugin.save(), bytes);
}

TEST (ClapState, IsTheStateEveryOtherFormatReadsAndWrites)
{
    // The VST3 and LV2 doors hand the processor these same bytes (the LV2 one as its text).
    Hosted clap;
    clap.plugin.flush (everySetting());
    const auto fromClap = clap.plugin.save();

    HalvoraAudioProcessor processor;
    processor.setStateInformation (fromClap.data(), static_cast<int> (fromClap.size()));
    EXPECT_EQ (testutil::getPlain (processor, "gain"), -4.5f);
    EXPECT_EQ (testutil::getPlain (processor, "scale"), 1.0f);

    testutil::setPlain (processor, "gain", 7.5f);
    juce::MemoryBlock fromProcessor;
    processor.getStateInformation (fromProcessor);

    Hosted back;
    claphost::InStream stream (std::string (static_cast<const char*> (fromProcessor.getData()), fromProcessor.getSize()));
    ASSERT_TRUE (back.plugin.state->load (back.plugin.plugin, &stream.stream));
    EXPECT_EQ (back.plugin.value (1), 7.5);
    EXPECT_EQ (back.plugin.value (10), 1.0);
}

TEST (ClapState, WritesIntoAStreamThatTakesOneByteAtATime)
{
    Hosted h;
    h.plugin.flush (everySetting());
    const auto whole = h.plugin.save();
    claphost::OutStream bytewise (1);
    ASSERT_TRUE (h.plugin.state->save (h.plugin.plugin, &bytewise.stream));
    EXPECT_EQ (bytewise.bytes, whole);
}

} // namespace
