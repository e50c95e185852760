#include "Renderer.h"
#include "helpers/TestHelpers.h"

#include "HalvoraVocabulary.h"
#include "dsp/stages/PitchTracking.h"
#include "state/AUPresetState.h"
#include "state/PropertyList.h"
#include "state/StateFraming.h"

#include <gtest/gtest.h>

namespace ParamID = halvora::ParamID;

using testutil::readAudio;
using testutil::runRender;
using testutil::TempFolder;
using testutil::writeWav;

namespace
{

/** An .aupreset as a host writes it for Halvora, carrying the given state block (none when
    it is empty).
*/
juce::String presetHolding (const juce::MemoryBlock& state)
{
    const auto description = AUPresetState::halvoraDescription();
    auto dictionary = std::make_unique<juce::DynamicObject>();
    dictionary->setProperty ("version", 0);
    dictionary->setProperty ("type", static_cast<juce::int64> (description.componentType));
    dictionary->setProperty ("subtype", static_cast<juce::int64> (description.componentSubType));
    dictionary->setProperty ("manufacturer", static_cast<juce::int64> (description.componentManufacturer));
    dictionary->setProperty ("data", juce::MemoryBlock (4, true));
    dictionary->setProperty ("name", "held");

    if (! state.isEmpty())
        dictionary->setProperty ("jucePluginState", state);

    return PropertyList::write (juce::var (dictionary.release()));
}

/** halvora-render with every stage off: the stage that always runs (tone, vibrato, gain)
    is the identity at range Tenor, so this is a pass-through. */
juce::StringArray passThrough (const juce::File& in, const juce::File& out, int block)
{
    return { "-q", "-p", "range=Tenor", "--block", juce::String (block), in.getFullPathName(), out.getFullPathName() };
}

} // namespace

class RenderPassThrough : public testing::TestWithParam<std::tuple<int, int>>
{
};

TEST_P (RenderPassThrough, FloatWavComesBackWithItsLengthRateAndChannels)
{
    const auto [channels, block] = GetParam();
    TempFolder dir;
    const auto input = testutil::makeTestSignal (channels, 5000, 48000.0);
    writeWav (dir.file ("in.wav"), input, 48000.0);

    const auto result = runRender (passThrough (dir.file ("in.wav"), dir.file ("out.wav"), block));
    ASSERT_EQ (result.exitCode, 0) << result.output;

    double rate = 0.0;
    const auto output = readAudio (dir.file ("out.wav"), &rate);
    EXPECT_EQ (rate, 48000.0);
    ASSERT_EQ (output.getNumChannels(), channels);
    ASSERT_EQ (output.getNumSamples(), 5000);

    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < 5000; ++i)
            ASSERT_NEAR (output.getSample (c, i), input.getSample (c, i), 1.0e-6f) << c << " " << i;
}

INSTANTIATE_TEST_SUITE_P (ChannelsAndBlocks, RenderPassThrough, testing::Combine (testing::Values (1, 2), testing::Values (1, 333, 512, 8192)));

TEST (RenderCommand, ListParamsShowsAllEleven)
{
    const auto result = runRender ({ "--list-params" });
    EXPECT_EQ (result.exitCode, 0);
    const auto lines = juce::StringArray::fromLines (result.output.trim());
    ASSERT_EQ (lines.size(), 11);
    EXPECT_TRUE (lines[0].startsWith (ParamID::formant));
    EXPECT_TRUE (lines[1].contains ("\"Gain (dB)\"") && lines[1].contains ("-24 to 24, step 0.01, default 0"));
    EXPECT_TRUE (lines[9].contains ("C, C#, D")) << lines[9];
}

struct ErrorCase
{
    const char* what;
    juce::StringArray args; // "IN" and "OUT" stand for the test's files
    int status;
    const char* message;
};

class RenderErrors : public testing::TestWithParam<ErrorCase>
{
};

TEST_P (RenderErrors, ExitStatusOneLineAndNoOutput)
{
    TempFolder dir;
    writeWav (dir.file ("in.wav"), testutil::makeTestSignal (1, 2000, 44100.0), 44100.0);
    dir.file ("garbage.wav").replaceWithText ("this is not audio");
    writeWav (dir.file ("quad.wav"), testutil::makeTestSignal (4, 100, 44100.0), 44100.0);
    const char badText[] = "VC2!\x1e\0\0\0<PARAMS><PARAM id=\"gain\" v\xfe\xff\xff\xf2";
    dir.file ("badutf.bin").replaceWithData (badText, sizeof (badText) - 1);

    // Nested far deeper than any state or preset, as a hostile file would be.
    const auto deepText = "<PARAMS>" + juce::String::repeatedString ("<a>", 100000) + juce::String::repeatedString ("</a>", 100000) + "</PARAMS>";
    const auto deepState = *halvora::StateFraming::frame (deepText.toStdString());
    dir.file ("deep.bin").replaceWithData (deepState.getData(), deepState.getSize());
    const auto deepArrays = juce::String::repeatedString ("<array>", 100000) + juce::String::repeatedString ("</array>", 100000);
    dir.file ("deep.aupreset").replaceWithText ("<?xml version=\"1.0\"?><plist version=\"1.0\">" + deepArrays + "</plist>");

    // Well-formed presets whose state is what a raw state file may not be.
    dir.file ("deepstate.aupreset").replaceWithText (presetHolding (deepState));
    dir.file ("garbagestate.aupreset").replaceWithText (presetHolding (juce::MemoryBlock ("this is not a state", 19)));
    dir.file ("nostate.aupreset").replaceWithText (presetHolding ({}));

    juce::StringArray args;
    for (auto a : GetParam().args)
        args.add (a.replace ("DIR", dir.file ("").getFullPathName()));

    const auto result = runRender (args);
    EXPECT_EQ (result.exitCode, GetParam().status) << result.output;
    EXPECT_TRUE (result.output.contains (GetParam().message)) << result.output;
    EXPECT_EQ (juce::StringArray::fromLines (result.output.trim()).size(), 1) << result.output;
    EXPECT_FALSE (dir.file ("out.wav").exists());
    EXPECT_FALSE (dir.file ("sub").exists());
}

const ErrorCase errorCases[] {
    { "unknown option", { "--loud", "DIR/in.wav", "DIR/out.wav" }, 2, "--loud" },
    { "unknown parameter", { "-p", "volume=3", "DIR/in.wav", "DIR/out.wav" }, 2, "volume" },
    { "bad number", { "-p", "gain=loud", "DIR/in.wav", "DIR/out.wav" }, 2, "loud" },
    { "bad choice", { "-p", "key=H", "DIR/in.wav", "DIR/out.wav" }, 2, "'H'" },
    { "block size", { "--block", "70000", "DIR/in.wav", "DIR/out.wav" }, 2, "block size" },
    { "output format", { "DIR/in.wav", "DIR/out.mp3" }, 2, "out.mp3" },
    { "float flac", { "--bits", "32", "DIR/in.wav", "DIR/out.flac" }, 2, "32-bit" },
    { "missing input", { "DIR/none.wav", "DIR/out.wav" }, 1, "none.wav" },
    { "unreadable input", { "DIR/garbage.wav", "DIR/out.wav" }, 1, "garbage.wav" },
    { "four channels", { "DIR/quad.wav", "DIR/out.wav" }, 1, "quad.wav" },
    { "missing state", { "--state", "DIR/none.bin", "DIR/in.wav", "DIR/out.wav" }, 1, "none.bin" },
    { "bad state", { "--state", "DIR/garbage.wav", "DIR/in.wav", "DIR/out.wav" }, 1, "garbage.wav" },
    { "state not utf8", { "--state", "DIR/badutf.bin", "DIR/in.wav", "DIR/out.wav" }, 1, "badutf.bin" },
    { "deeply nested state", { "--state", "DIR/deep.bin", "DIR/in.wav", "DIR/out.wav" }, 1, "deep.bin" },
    { "deeply nested preset", { "--state", "DIR/deep.aupreset", "DIR/in.wav", "DIR/out.wav" }, 1, "deep.aupreset" },
    { "deeply nested state in a preset", { "--state", "DIR/deepstate.aupreset", "DIR/in.wav", "DIR/out.wav" }, 1, "deepstate.aupreset" },
    { "no state in a preset", { "--state", "DIR/garbagestate.aupreset", "DIR/in.wav", "DIR/out.wav" }, 1, "not a saved Halvora state" },
    { "preset without a state", { "--state", "DIR/nostate.aupreset", "DIR/in.wav", "DIR/out.wav" }, 1, "holds no saved Halvora state" },
    { "no folder", { "DIR/in.wav", "DIR/sub/out.wav" }, 1, "sub" },
};

INSTANTIATE_TEST_SUITE_P (Table, RenderErrors, testing::ValuesIn (errorCases),
                          [] (const auto& testInfo) { return juce::String (testInfo.param.what).replaceCharacter (' ', '_').toStdString(); });

TEST (RenderCommand, FailureNeverSpoilsAnExistingOutput)
{
    TempFolder dir;
    dir.file ("out.wav").replaceWithText ("precious");
    dir.file ("garbage.wav").replaceWithText ("this is not audio");

    const auto result = runRender ({ dir.file ("garbage.wav").getFullPathName(), dir.file ("out.wav").getFullPathName() });
    EXPECT_EQ (result.exitCode, 1);
    EXPECT_EQ (dir.file ("out.wav").loadFileAsString(), "precious");
    EXPECT_EQ (dir.numFiles(), 2); // no temporary left behind
}

TEST (RenderCommand, OutOfRangeValuesAreClampedWithAWarning)
{
    TempFolder dir;
    const auto result = runRender ({ "-p", "gain=40", "-p", "key=15", "--save-state", dir.file ("s.bin").getFullPathName() });
    ASSERT_EQ (result.exitCode, 0) << result.output;
    EXPECT_TRUE (result.output.contains ("warning") && result.output.contains ("gain")) << result.output;

    HalvoraAudioProcessor processor;
    juce::MemoryBlock data;
    ASSERT_TRUE (dir.file ("s.bin").loadFileAsData (data));
    processor.setStateInformation (data.getData(), static_cast<int> (data.getSize()));
    EXPECT_EQ (processor.apvts.getRawParameterValue (ParamID::gain)->load(), 24.0f);
    EXPECT_EQ (processor.apvts.getRawParameterValue (ParamID::key)->load(), 11.0f);
}

/** One parameter's bounds as a user types them, and the values one step (or one index) beyond. */
struct BoundsCase
{
    const char* id;
    const char* minimum;
    const char* maximum;
    const char* below;
    const char* above;
    float minimumHeld;
    float maximumHeld;
};

class RenderBounds : public testing::TestWithParam<BoundsCase>
{
};

// A value equal to a bound is inside the range; one step beyond it is clamped to the bound with a warning.
TEST_P (RenderBounds, EqualIsInsideAndOneStepBeyondWarns)
{
    const auto& c = GetParam();
    const struct
    {
        const char* typed;
        float held;
        bool warns;
    } tries[] {
        { c.minimum, c.minimumHeld, false }, { c.maximum, c.maximumHeld, false }, { c.below, c.minimumHeld, true }, { c.above, c.maximumHeld, true }
    };

    for (const auto& t : tries)
    {
        HalvoraAudioProcessor processor;
        juce::StringArray warnings;
        EXPECT_EQ (halvora::applyParameterSetting (processor, { c.id, t.typed }, warnings), "");
        EXPECT_EQ (warnings.size(), t.warns ? 1 : 0) << c.id << "=" << t.typed << ": " << warnings.joinIntoString ("; ");
        EXPECT_EQ (processor.apvts.getRawParameterValue (c.id)->load(), t.held) << c.id << "=" << t.typed;
    }
}

// The ranges and steps of the eleven parameters; a choice's bounds are its first and last index.
const BoundsCase boundsCases[] {
    { ParamID::formant, "-1", "1", "-1.001", "1.001", -1.0f, 1.0f },
    { ParamID::gain, "-24", "24", "-24.01", "24.01", -24.0f, 24.0f },
    { ParamID::vibRate, "0.1", "10", "0.099", "10.001", 0.1f, 10.0f },
    { ParamID::vibDepth, "0", "100", "-0.01", "100.01", 0.0f, 100.0f },
    { ParamID::delayMix, "0", "100", "-0.1", "100.1", 0.0f, 100.0f },
    { ParamID::reverbMix, "0", "100", "-0.1", "100.1", 0.0f, 100.0f },
    { ParamID::morvel, "0", "1", "-0.001", "1.001", 0.0f, 1.0f },
    { ParamID::range, "0", "4", "-1", "5", 0.0f, 4.0f },
    { ParamID::voice, "0", "1", "-1", "2", 0.0f, 1.0f },
    { ParamID::key, "0", "11", "-1", "12", 0.0f, 11.0f },
    { ParamID::scale, "0", "4", "-1", "5", 0.0f, 4.0f },
};

INSTANTIATE_TEST_SUITE_P (EveryParameter, RenderBounds, testing::ValuesIn (boundsCases),
                          [] (const auto& testInfo) { return std::string (testInfo.param.id); });

// The same through the command line: every parameter at its minimum, then at its maximum, says
// nothing; every one a step outside names itself in a warning of its own.
TEST (RenderCommand, BoundsWarnOnlyOutside)
{
    const auto run = [] (const char* BoundsCase::*which) {
        TempFolder dir;
        juce::StringArray args { "--save-state", dir.file ("s.bin").getFullPathName() };

        for (const auto& c : boundsCases)
            args.addArray ({ "-p", juce::String (c.id) + "=" + (c.*which) });

        return runRender (args);
    };

    for (auto which : { &BoundsCase::minimum, &BoundsCase::maximum })
    {
        const auto result = run (which);
        EXPECT_EQ (result.exitCode, 0) << result.output;
        EXPECT_FALSE (result.output.contains ("warning")) << result.output;
    }

    for (auto which : { &BoundsCase::below, &BoundsCase::above })
    {
        const auto result = run (which);
        EXPECT_EQ (result.exitCode, 0) << result.output;
        const auto lines = juce::StringArray::fromLines (result.output.trim());
        ASSERT_EQ (lines.size(), 11) << result.output;

        for (int i = 0; i < 11; ++i)
            EXPECT_TRUE (lines[i].startsWith ("halvora-render: warning: " + juce::String (boundsCases[i].id) + " "))
                << lines[i];
    }
}

// What --version prints: the version the plug-in carries (the one hosts and the package see)
// and the JUCE release it was built with.
TEST (RenderCommand, VersionNamesItselfTheVersionAndJuce)
{
    const auto result = runRender ({ "--version" });
    EXPECT_EQ (result.exitCode, 0);
    EXPECT_EQ (result.output, juce::String ("halvora-render ") + JucePlugin_VersionString + " (JUCE "
                                  + juce::String (JUCE_MAJOR_VERSION) + "." + juce::String (JUCE_MINOR_VERSION) + "."
                                  + juce::String (JUCE_BUILDNUMBER) + ")\n");
    EXPECT_EQ (juce::String (JucePlugin_VersionString).retainCharacters ("0123456789.").length(),
               juce::String (JucePlugin_VersionString).length());
    EXPECT_EQ (juce::StringArray::fromTokens (JucePlugin_VersionString, ".", "").size(), 3);
}

TEST (RenderCommand, StateRoundTripAndSettingsOnTop)
{
    TempFolder dir;
    const auto first = runRender ({ "-p", "gain=-6.5", "-p", "scale=Dorian", "-p", "key=3", "-p", "morvel=0.25",
                                    "--save-state", dir.file ("a.bin").getFullPathName() });
    ASSERT_EQ (first.exitCode, 0) << first.output;

    // Restoring, then one -p on top, then saving again.
    const auto second = runRender ({ "--state", dir.file ("a.bin").getFullPathName(), "-p", "key=G",
                                     "--save-state", dir.file ("b.bin").getFullPathName() });
    ASSERT_EQ (second.exitCode, 0) << second.output;

    HalvoraAudioProcessor processor;
    juce::MemoryBlock data;
    ASSERT_TRUE (dir.file ("b.bin").loadFileAsData (data));
    processor.setStateInformation (data.getData(), static_cast<int> (data.getSize()));

    EXPECT_FLOAT_EQ (processor.apvts.getRawParameterValue (ParamID::gain)->load(), -6.5f);
    EXPECT_EQ (processor.apvts.getRawParameterValue (ParamID::scale)->load(), 2.0f);
    EXPECT_EQ (processor.apvts.getRawParameterValue (ParamID::key)->load(), 7.0f);
    EXPECT_FLOAT_EQ (processor.apvts.getRawParameterValue (ParamID::morvel)->load(), 0.25f);
}

TEST (RenderCommand, AnAupresetRestoresWhatItsRawStateRestores)
{
    TempFolder dir;
    HalvoraAudioProcessor saved;
    testutil::setPlain (saved, ParamID::gain, -6.5f);
    testutil::setPlain (saved, ParamID::scale, 2.0f);
    testutil::setPlain (saved, ParamID::morvel, 0.25f);
    juce::MemoryBlock state;
    saved.getStateInformation (state);
    ASSERT_TRUE (dir.file ("raw.bin").replaceWithData (state.getData(), state.getSize()));
    ASSERT_TRUE (dir.file ("held.aupreset").replaceWithText (presetHolding (state)));

    for (const auto* source : { "raw.bin", "held.aupreset" })
    {
        const auto result = runRender ({ "--state", dir.file (source).getFullPathName(), "--save-state",
                                         dir.file (juce::String (source) + ".saved").getFullPathName() });
        ASSERT_EQ (result.exitCode, 0) << source << ": " << result.output;
    }

    juce::MemoryBlock fromRaw, fromPreset;
    ASSERT_TRUE (dir.file ("raw.bin.saved").loadFileAsData (fromRaw));
    ASSERT_TRUE (dir.file ("held.aupreset.saved").loadFileAsData (fromPreset));
    EXPECT_EQ (fromPreset, fromRaw);

    HalvoraAudioProcessor restored;
    restored.setStateInformation (fromPreset.getData(), static_cast<int> (fromPreset.getSize()));
    EXPECT_FLOAT_EQ (restored.apvts.getRawParameterValue (ParamID::gain)->load(), -6.5f);
    EXPECT_EQ (restored.apvts.getRawParameterValue (ParamID::scale)->load(), 2.0f);
    EXPECT_FLOAT_EQ (restored.apvts.getRawParameterValue (ParamID::morvel)->load(), 0.25f);
}

TEST (RenderCommand, DemoRendersEightSecondsAndItsInput)
{
    TempFolder dir;
    const auto result = runRender ({ "--demo", "--on", "key", "-p", "morvel=1", "--demo-input",
                                     dir.file ("in.wav").getFullPathName(), dir.file ("out.wav").getFullPathName() });
    ASSERT_EQ (result.exitCode, 0) << result.output;
    EXPECT_TRUE (result.output.contains ("wrote"));

    double rate = 0.0;
    const auto in = readAudio (dir.file ("in.wav"), &rate);
    const auto out = readAudio (dir.file ("out.wav"));
    EXPECT_EQ (rate, 44100.0);
    EXPECT_EQ (in.getNumChannels(), 1);
    EXPECT_NEAR (in.getNumSamples() / rate, 8.0, 0.5);
    EXPECT_EQ (out.getNumSamples(), in.getNumSamples());
    EXPECT_GT (in.getRMSLevel (0, 0, in.getNumSamples()), 0.05f);
}

TEST (RenderCommand, PitchLogAndPlotShowWhatTheCorrectionDid)
{
    TempFolder dir;
    juce::AudioBuffer<float> input (1, 44100);
    for (int i = 0; i < 44100; ++i) // A#4, off C major: pulled down toward A4
        input.setSample (0, i, 0.5f * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * 466.16 * i / 44100.0)));
    writeWav (dir.file ("in.wav"), input, 44100.0);

    const auto result = runRender ({ "-q", "--on", "key", "-p", "morvel=1", "--pitch-csv", dir.file ("p.csv").getFullPathName(),
                                     "--pitch-plot", dir.file ("p.png").getFullPathName(), dir.file ("in.wav").getFullPathName(),
                                     dir.file ("out.wav").getFullPathName() });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    const auto lines = juce::StringArray::fromLines (dir.file ("p.csv").loadFileAsString().trim());
    ASSERT_EQ (lines.size(), 1 + (44100 + 511) / 512);
    EXPECT_EQ (lines[0], "time_s,detected_hz,smoothed_hz,target_hz,ratio");

    const auto last = juce::StringArray::fromTokens (lines[lines.size() - 1], ",", "");
    ASSERT_EQ (last.size(), 5);
    EXPECT_NEAR (last[0].getDoubleValue(), (lines.size() - 2) * 512 / 44100.0, 1.0e-5);
    EXPECT_NEAR (last[2].getDoubleValue(), 466.0, 3.0); // the smoothed estimate sits on the sung note
    EXPECT_NEAR (last[3].getDoubleValue(), 440.0, 3.0); // snapped to A4
    EXPECT_NEAR (last[4].getDoubleValue(), 0.944, 0.005);

    const auto plot = juce::ImageFileFormat::loadFrom (dir.file ("p.png"));
    ASSERT_TRUE (plot.isValid());
    EXPECT_EQ (plot.getWidth(), 1600);
    EXPECT_EQ (plot.getHeight(), 600);
}

/** A render whose blocks are all one size, of a sine in the range, and what it said and detected. */
struct ShortBlockCase
{
    const char* what;
    const char* range; // set with -p, or "state" for Bass restored from a saved state
    double sampleRate;
    int block;
    const char* warning; // empty: blocks long enough, no warning
};

class RenderShortBlocks : public testing::TestWithParam<ShortBlockCase>
{
};

// The warning names the range, the block and the shortest detecting block at the input's
// rate, and tells the truth: with it no block detects a pitch, without it every block does.
TEST_P (RenderShortBlocks, WarnExactlyWhenNoBlockDetects)
{
    const auto& c = GetParam();
    TempFolder dir;
    juce::StringArray args { "-q", "--on", "key", "-p", "morvel=1", "--block", juce::String (c.block), "--pitch-csv",
                             dir.file ("p.csv").getFullPathName() };
    auto rangeIndex = 4;

    if (juce::String (c.range) == "state")
    {
        HalvoraAudioProcessor processor;
        testutil::setPlain (processor, ParamID::range, static_cast<float> (rangeIndex));
        juce::MemoryBlock state;
        processor.getStateInformation (state);
        ASSERT_TRUE (dir.file ("bass.bin").replaceWithData (state.getData(), state.getSize()));
        args.addArray ({ "--state", dir.file ("bass.bin").getFullPathName() });
    }
    else
    {
        rangeIndex = juce::StringArray (halvora::rangeNames.data(), static_cast<int> (halvora::rangeNames.size())).indexOf (c.range);
        ASSERT_GE (rangeIndex, 0);
        args.addArray ({ "-p", juce::String ("range=") + c.range });
    }

    const auto lowestHz = halvora::vocalRanges[static_cast<size_t> (rangeIndex)].lowestHz;

    // Four whole blocks of a sine a fifth above the range's lowest pitch.
    juce::AudioBuffer<float> input (1, 4 * c.block);
    for (int i = 0; i < input.getNumSamples(); ++i)
        input.setSample (0, i, 0.5f * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * 1.5 * lowestHz * i / c.sampleRate)));
    writeWav (dir.file ("in.wav"), input, c.sampleRate);
    args.addArray ({ dir.file ("in.wav").getFullPathName(), dir.file ("out.wav").getFullPathName() });

    const auto result = runRender (args);
    ASSERT_EQ (result.exitCode, 0) << result.output;
    const auto warns = juce::String (c.warning).isNotEmpty();
    EXPECT_EQ (result.output, warns ? "halvora-render: warning: " + juce::String (c.warning) + "\n" : juce::String());

    const auto rows = juce::StringArray::fromLines (dir.file ("p.csv").loadFileAsString().trim());
    ASSERT_EQ (rows.size(), 1 + 4);

    for (int row = 1; row < rows.size(); ++row)
    {
        const auto detectedHz = juce::StringArray::fromTokens (rows[row], ",", "")[1].getDoubleValue();
        EXPECT_EQ (detectedHz > 0.0, ! warns) << rows[row];
    }
}

// The shortest blocks worked out by hand from the detector's window: twice (rate / the range's
// highest Hz, rounded, + 3).
const ShortBlockCase shortBlockCases[] {
    { "soprano 89", "Soprano", 44100.0, 89,
      "block 89 is shorter than 90 samples, the shortest in which the pitch detector finds a Soprano pitch at 44100 Hz: no pitch will be corrected" },
    { "soprano 90", "Soprano", 44100.0, 90, "" },
    { "bass 295 at 48k", "Bass", 48000.0, 295,
      "block 295 is shorter than 296 samples, the shortest in which the pitch detector finds a Bass pitch at 48000 Hz: no pitch will be corrected" },
    { "bass 296 at 48k", "Bass", 48000.0, 296, "" },
    { "tenor 371 at 96k", "Tenor", 96000.0, 371,
      "block 371 is shorter than 372 samples, the shortest in which the pitch detector finds a Tenor pitch at 96000 Hz: no pitch will be corrected" },
    { "bass from state 273", "state", 44100.0, 273,
      "block 273 is shorter than 274 samples, the shortest in which the pitch detector finds a Bass pitch at 44100 Hz: no pitch will be corrected" },
    { "soprano at 1 kHz", "Soprano", 1000.0, 4096,
      "the pitch detector finds no Soprano pitch at 1000 Hz in a block of any length: no pitch will be corrected" },
};

INSTANTIATE_TEST_SUITE_P (Table, RenderShortBlocks, testing::ValuesIn (shortBlockCases),
                          [] (const auto& testInfo) { return juce::String (testInfo.param.what).replaceCharacter (' ', '_').toStdString(); });

// Each range's row carries its span from the vocabulary and the shortest detecting blocks
// the voice chain reports, column by column.
TEST (RenderCommand, ListRangesShowsEachRangesSpanAndShortestBlocks)
{
    const auto result = runRender ({ "--list-ranges" });
    EXPECT_EQ (result.exitCode, 0);
    const auto lines = juce::StringArray::fromLines (result.output.trimEnd());
    ASSERT_EQ (lines.size(), 2 + 5) << result.output;
    EXPECT_TRUE (lines[1].endsWith ("44.1 kHz    48 kHz    96 kHz")) << lines[1];

    for (int r = 0; r < 5; ++r)
    {
        const auto& range = halvora::vocalRanges[static_cast<size_t> (r)];
        auto cells = juce::StringArray::fromTokens (lines[2 + r], " ", "");
        cells.removeEmptyStrings();
        ASSERT_EQ (cells.size(), 6) << lines[2 + r];
        EXPECT_EQ (cells[0], halvora::rangeNames[static_cast<size_t> (r)]);
        EXPECT_EQ (cells[1].getFloatValue(), range.lowestHz) << cells[1];
        EXPECT_EQ (cells[2].getFloatValue(), range.highestHz) << cells[2];

        for (const auto& [column, rate] : { std::pair { 3, 44100.0 }, std::pair { 4, 48000.0 }, std::pair { 5, 96000.0 } })
            EXPECT_EQ (cells[column].getIntValue(), halvora::shortestDetectingBlock (r, rate).value_or (-1)) << lines[2 + r];
    }
}

// The README's table of host buffer sizes is the one --list-ranges prints, so it cannot fall
// behind the detector.
TEST (RenderCommand, ReadmeBufferSizeTableIsWhatListRangesPrints)
{
    const auto readme = juce::File (HALVORA_RESOURCES_DIR).getSiblingFile ("README.md");
    const auto lines = juce::StringArray::fromLines (readme.loadFileAsString());
    const auto heading = lines.indexOf ("### Host buffer sizes and pitch detection");
    ASSERT_GE (heading, 0) << readme.getFullPathName();

    auto opening = heading + 1;
    while (opening < lines.size() && ! lines[opening].startsWith ("```") && ! lines[opening].startsWith ("#"))
        ++opening;

    ASSERT_TRUE (lines[opening].startsWith ("```")) << "no table under the heading";
    juce::String table;

    for (auto i = opening + 1; i < lines.size() && lines[i] != "```"; ++i)
        table << lines[i] << "\n";

    EXPECT_EQ (table, runRender ({ "--list-ranges" }).output);
}
