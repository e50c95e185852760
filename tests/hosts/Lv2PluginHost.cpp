// The LV2 plug-in in a small host of ours on lilv, the library most Linux LV2 hosts use:
// the bundle found by lilv, instantiated with nothing but a URID map (and once with the
// host's maximum block length), every control port set by its symbol. What it plays must
// equal halvora-render's output at the same settings to the bit; its state must survive
// lilv's save and restore (and a state saved by the first bundle must still open); and no
// value a host can put into a control port may make the output other than finite.

#include "helpers/UridTable.h"
#include "helpers/TestHelpers.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace
{

//==============================================================================
using testutil::UridTable;

/** One world for the whole run: lilv reads the bundle once. */
struct World
{
    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin = nullptr;

    World()
    {
        auto* bundle = lilv_new_file_uri (world, nullptr, HALVORA_LV2_BUNDLE "/");
        lilv_world_load_bundle (world, bundle);
        lilv_node_free (bundle);

        auto* uri = lilv_new_uri (world, HALVORA_LV2_URI);
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);
        lilv_node_free (uri);
    }

    ~World() { lilv_world_free (world); }

    static World& get()
    {
        static World shared;
        return shared;
    }
};

//==============================================================================
/** The plug-in as a host runs it: its ports, by symbol, in buffers of ours. */
class HostedPlugin
{
public:
    explicit HostedPlugin (double sampleRate, std::int32_t maxBlockLength = 0)
        : maxBlock (maxBlockLength)
    {
        auto& w = World::get();
        plugin = w.plugin;

        if (plugin == nullptr)
            return;

        features.push_back (&mapFeature);

        if (maxBlockLength > 0)
        {
            options[0] = { LV2_OPTIONS_INSTANCE, 0, map.map (&table, LV2_BUF_SIZE__maxBlockLength), sizeof (maxBlock),
                           map.map (&table, LV2_ATOM__Int), &maxBlock };
            features.push_back (&optionsFeature);
        }

        features.push_back (nullptr);
        instance = lilv_plugin_instantiate (plugin, sampleRate, features.data());

        if (instance == nullptr)
            return;

        controls.resize (lilv_plugin_get_num_ports (plugin), 0.0f);
        std::vector<float> defaults (controls.size(), 0.0f);
        lilv_plugin_get_port_ranges_float (plugin, nullptr, nullptr, defaults.data());

        for (uint32_t i = 0; i < controls.size(); ++i)
        {
            const auto* port = lilv_plugin_get_port_by_index (plugin, i);
            const std::string symbol = lilv_node_as_string (lilv_port_get_symbol (plugin, port));
            indexOfSymbol[symbol] = i;
            controls[i] = std::isnan (defaults[i]) ? 0.0f : defaults[i];

            // Control ports take a float each; the audio ports are connected per run, and
            // the atom ports, which a host may leave out, stay unconnected.
            if (lilv_port_is_a (plugin, port, controlClass()))
                lilv_instance_connect_port (instance, i, &controls[i]);
        }

        lilv_instance_activate (instance);
    }

    ~HostedPlugin()
    {
        if (instance != nullptr)
        {
            lilv_instance_deactivate (instance);
            lilv_instance_free (instance);
        }
    }

    bool isLoaded() const { return instance != nullptr; }

    float& control (const std::string& symbol) { return controls.at (indexOfSymbol.at (symbol)); }

    /** Runs the buffer through in host runs of `runLength` samples. */
    juce::AudioBuffer<float> play (const juce::AudioBuffer<float>& input, int runLength)
    {
        juce::AudioBuffer<float> output (2, input.getNumSamples());
        std::vector<float> in[2], out[2];

        for (int start = 0; start < input.getNumSamples(); start += runLength)
        {
            const auto n = std::min (runLength, input.getNumSamples() - start);

            for (int ch = 0; ch < 2; ++ch)
            {
                in[ch].assign (input.getReadPointer (std::min (ch, input.getNumChannels() - 1), start),
                               input.getReadPointer (std::min (ch, input.getNumChannels() - 1), start) + n);
                out[ch].assign (static_cast<size_t> (n), 0.0f);
                lilv_instance_connect_port (instance, portIndex ("audio_in_" + std::to_string (ch + 1)), in[ch].data());
                lilv_instance_connect_port (instance, portIndex ("audio_out_" + std::to_string (ch + 1)), out[ch].data());
            }

            lilv_instance_run (instance, static_cast<uint32_t> (n));

            for (int ch = 0; ch < 2; ++ch)
                output.copyFrom (ch, start, out[ch].data(), n);
        }

        return output;
    }

    /** The state as lilv saves it, port values included. */
    LilvState* saveState()
    {
        return lilv_state_new_from_instance (plugin, instance, &map, nullptr, nullptr, nullptr, nullptr, valueOfPort, this,
                                             LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features.data());
    }

    void restoreState (const LilvState* state)
    {
        lilv_state_restore (state, instance, setPortValue, this, 0, features.data());
    }

    LV2_URID_Map map { &table, UridTable::map };
    LV2_URID_Unmap unmap { &table, UridTable::unmap };

private:
    uint32_t portIndex (const std::string& symbol) const { return indexOfSymbol.at (symbol); }

    static const void* valueOfPort (const char* symbol, void* self, uint32_t* size, uint32_t* type)
    {
        auto& host = *static_cast<HostedPlugin*> (self);
        const auto found = host.indexOfSymbol.find (symbol);

        if (found == host.indexOfSymbol.end()
            || ! lilv_port_is_a (host.plugin, lilv_plugin_get_port_by_index (host.plugin, found->second), host.controlClass())
            || ! lilv_port_is_a (host.plugin, lilv_plugin_get_port_by_index (host.plugin, found->second), host.inputClass()))
            return nullptr;

        *size = sizeof (float);
        *type = host.map.map (&host.table, LV2_ATOM__Float);
        return &host.controls[found->second];
    }

    static void setPortValue (const char* symbol, void* self, const void* value, uint32_t size, uint32_t type)
    {
        auto& host = *static_cast<HostedPlugin*> (self);
        const auto found = host.indexOfSymbol.find (symbol);

        if (found != host.indexOfSymbol.end() && size == sizeof (float) && type == host.map.map (&host.table, LV2_ATOM__Float))
            std::memcpy (&host.controls[found->second], value, sizeof (float));
    }

    const LilvNode* controlClass()
    {
        static auto* node = lilv_new_uri (World::get().world, LILV_URI_CONTROL_PORT);
        return node;
    }

    const LilvNode* inputClass()
    {
        static auto* node = lilv_new_uri (World::get().world, LILV_URI_INPUT_PORT);
        return node;
    }

    UridTable table;
    std::int32_t maxBlock;
    LV2_Options_Option options[2] {};
    const LV2_Feature mapFeature { LV2_URID__map, &map };
    const LV2_Feature optionsFeature { LV2_OPTIONS__options, options };
    std::vector<const LV2_Feature*> features;

    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    std::vector<float> controls;
    std::map<std::string, uint32_t> indexOfSymbol;
};

//==============================================================================
/** Every parameter away from its default, as symbols and halvora-render's -p settings. */
const std::vector<std::pair<std::string, float>> settings {
    { "formant", 0.3f },
    { "gain", -4.5f },
    { "vibRate", 6.25f },
    { "vibDepth", 30.0f },
    { "delayMix", 25.0f },
    { "reverbMix", 20.0f },
    { "morvel", 0.8f },
    { "range", 2.0f },
    { "voice", 1.0f },
    { "key", 3.0f },
    { "scale", 1.0f },
};

void setEveryControl (HostedPlugin& host)
{
    for (const auto& [symbol, value] : settings)
        host.control (symbol) = value;
}

juce::AudioBuffer<float> renderWithTheRenderer (const juce::AudioBuffer<float>& input, double sampleRate, int block,
                                                const juce::String& stateFile = {})
{
    juce::StringArray options { "-q", "--block", juce::String (block) };

    if (stateFile.isNotEmpty())
        options.addArray ({ "--state", stateFile });
    else
        for (const auto& [symbol, value] : settings)
            options.addArray ({ "-p", juce::String (symbol) + "=" + juce::String (value) });

    return testutil::renderThroughRenderer (input, sampleRate, options);
}

using testutil::firstDifference;

//==============================================================================
struct RenderCase
{
    const char* name;
    std::int32_t maxBlockLength; // 0: the host gives none
    int runLength;               // samples per run() call
    int rendererBlock;           // the renderer's --block giving the same blocks
};

void PrintTo (const RenderCase& c, std::ostream* os)
{
    *os << c.name;
}

class Lv2MatchesTheRenderer : public testing::TestWithParam<RenderCase>
{
};

TEST_P (Lv2MatchesTheRenderer, BitForBit)
{
    const auto& c = GetParam();
    constexpr double rate = 48000.0;
    const auto input = testutil::makeTestSignal (2, 48000, rate);

    HostedPlugin host (rate, c.maxBlockLength);
    ASSERT_TRUE (host.isLoaded());
    setEveryControl (host);

    const auto played = host.play (input, c.runLength);
    const auto rendered = renderWithTheRenderer (input, rate, c.rendererBlock);
    EXPECT_EQ (firstDifference (played, rendered), -1);
}

INSTANTIATE_TEST_SUITE_P (Hosts, Lv2MatchesTheRenderer,
                          testing::Values (RenderCase { "MaxBlockFromTheHost", 512, 512, 512 },
                                           RenderCase { "NoMaxBlockShortRuns", 0, 256, 256 },
                                           RenderCase { "NoMaxBlockLongRunsInPieces", 0, 8192, 4096 },
                                           RenderCase { "MaxBlockLongerThanTheRuns", 2048, 1024, 1024 }),
                          [] (const testing::TestParamInfo<RenderCase>& param) { return std::string (param.param.name); });

TEST (Lv2File, RendersWhatTheRendererRenders)
{
    // Debian's lv2file, a host that offers nothing but the URID map, sets the ports by
    // symbol ("-p gain:-4.5") and runs in the block length it is given.
    constexpr double rate = 44100.0;
    const auto input = testutil::makeTestSignal (2, 30000, rate, 11);
    testutil::TempFolder folder;
    const auto in = folder.file ("in.wav");
    const auto out = folder.file ("out.wav");
    testutil::writeWav (in, input, rate);

    juce::StringArray command { "env", "LV2_PATH=" + juce::File (HALVORA_LV2_BUNDLE).getParentDirectory().getFullPathName(),
                                "lv2file", "-b", "512" };

    for (const auto& [symbol, value] : settings)
        command.addArray ({ "-p", juce::String (symbol) + ":" + juce::String (value) });

    command.addArray ({ "-i", in.getFullPathName(), "-o", out.getFullPathName(), HALVORA_LV2_URI });

    juce::ChildProcess lv2file;
    ASSERT_TRUE (lv2file.start (command));
    const auto log = lv2file.readAllProcessOutput();
    ASSERT_TRUE (lv2file.waitForProcessToFinish (60000));
    ASSERT_EQ (lv2file.getExitCode(), 0u) << log;

    EXPECT_EQ (firstDifference (testutil::readAudio (out), renderWithTheRenderer (input, rate, 512)), -1);
}

//==============================================================================
TEST (Lv2State, SurvivesLilvsSaveAndRestoreWithThePortsInAgreement)
{
    constexpr double rate = 44100.0;
    const auto input = testutil::makeTestSignal (2, 20000, rate, 3);

    HostedPlugin saved (rate);
    ASSERT_TRUE (saved.isLoaded());
    setEveryControl (saved);
    saved.play (input, 512); // the ports reach the processor in a run, as in a host

    auto* state = saved.saveState();
    ASSERT_NE (state, nullptr);
    auto* text = lilv_state_to_string (World::get().world, &saved.map, &saved.unmap, state, "urn:halvora:test:saved", nullptr);
    ASSERT_NE (text, nullptr);
    EXPECT_NE (std::string (text).find (HALVORA_LV2_URI ":state>"), std::string::npos) << text;
    EXPECT_NE (std::string (text).find ("-4.5"), std::string::npos) << text;

    // A fresh instance, its ports at their defaults, gets the state from the text.
    HostedPlugin restored (rate);
    auto* fromText = lilv_state_new_from_string (World::get().world, &restored.map, text);
    ASSERT_NE (fromText, nullptr);
    restored.restoreState (fromText);

    for (const auto& [symbol, value] : settings)
        EXPECT_EQ (restored.control (symbol), value) << symbol;

    HostedPlugin reference (rate);
    setEveryControl (reference);
    EXPECT_EQ (firstDifference (restored.play (input, 512), reference.play (input, 512)), -1);

    lilv_state_free (fromText);
    lilv_free (text);
    lilv_state_free (state);
}

TEST (Lv2State, TheFirstBundlesStateStillOpens)
{
    // What the first LV2 bundle saved: the framework's base64 of the processor's state, as
    // jalv wrote it into a state folder. Its ports are not among the saved values, so the
    // restored state stands while the host's ports keep their defaults.
    constexpr double rate = 48000.0;
    const auto input = testutil::makeTestSignal (2, 24000, rate, 5);

    HostedPlugin host (rate);
    ASSERT_TRUE (host.isLoaded());
    auto* state = lilv_state_new_from_file (World::get().world, &host.map, nullptr,
                                            HALVORA_TEST_FIXTURES_DIR "/lv2-state-0.1.0/state.ttl");
    ASSERT_NE (state, nullptr);
    host.restoreState (state);
    lilv_state_free (state);

    const auto played = host.play (input, 512);
    const auto rendered = renderWithTheRenderer (input, rate, 512, HALVORA_TEST_FIXTURES_DIR "/state-0.1.0-everything-changed.bin");
    EXPECT_EQ (firstDifference (played, rendered), -1);
}

//==============================================================================
TEST (Lv2Controls, NoValueInAnyPortMakesTheOutputOtherThanFinite)
{
    constexpr double rate = 44100.0;
    const auto input = testutil::makeTestSignal (2, 4096, rate, 9);
    const float hostile[] { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1.0e30f, -1.0e30f, std::numeric_limits<float>::denorm_min() };

    HostedPlugin host (rate);
    ASSERT_TRUE (host.isLoaded());
    setEveryControl (host);
    host.control ("delayMix") = 100.0f;
    host.control ("reverbMix") = 100.0f;

    for (const auto value : hostile)
    {
        for (const auto& [symbol, _] : settings)
        {
            host.control (symbol) = value;
            const auto output = host.play (input, 256);

            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < output.getNumSamples(); ++i)
                    ASSERT_TRUE (std::isfinite (output.getSample (ch, i))) << symbol << " = " << value << " at " << i;
        }
    }
}

} // namespace
