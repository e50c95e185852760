// The LV2 plug-in restoring saved states through lilv, the library most LV2 hosts use: the
// bundle loaded and instantiated, a state read from Turtle text (the first bundle's base64
// state string, as hosts kept it) restored with lilv_state_restore, and the state the
// plug-in then saves read back.
// Each case runs in a child process under an address-space limit, so that an abort or a
// memory bomb fails that case alone.

#include "helpers/UridTable.h"
#include "ChildHost.h"
#include "StateBytes.h"

#include <lilv/lilv.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
const std::string stateKey = HALVORA_LV2_URI ":StateString";

using testutil::UridTable;

std::string turtleState (std::string value)
{
    for (auto at = value.find ('\n'); at != std::string::npos; at = value.find ('\n', at + 2))
        value.replace (at, 1, "\\n");

    const std::string prefixes = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                 "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                 "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n";
    const std::string subject = "<urn:halvora:test:state> a pset:Preset ;\n"
                                "    lv2:appliesTo <" HALVORA_LV2_URI "> ;\n";
    return prefixes + subject + "    state:state [ <" + stateKey + "> \"" + value + "\" ] .\n";
}

/** What the plug-in stores under its state key when the host saves it. */
struct SavedText
{
    LV2_URID key = 0;
    std::string text;

    static LV2_State_Status store (LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t, uint32_t)
    {
        auto& saved = *static_cast<SavedText*> (handle);

        if (key == saved.key && value != nullptr)
            saved.text.assign (static_cast<const char*> (value), size);

        return LV2_STATE_SUCCESS;
    }
};

/** Instantiates the plug-in, restores the baseline and then the case's state, and writes
    the gain it then saves to fd. Runs in the child.
*/
int hostOneCase (int fd, const std::string& value)
{
    auto* world = lilv_world_new();
    auto* bundle = lilv_new_file_uri (world, nullptr, HALVORA_LV2_BUNDLE "/");
    lilv_world_load_bundle (world, bundle);
    auto* uri = lilv_new_uri (world, HALVORA_LV2_URI);
    const auto* plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);

    if (plugin == nullptr)
        return 11;

    UridTable table;
    LV2_URID_Map map { &table, UridTable::map };
    LV2_URID_Unmap unmap { &table, UridTable::unmap };
    const std::int32_t maxBlock = 512;
    const auto maxBlockLength = map.map (&table, LV2_BUF_SIZE__maxBlockLength);
    const auto intType = map.map (&table, "http://lv2plug.in/ns/ext/atom#Int");
    const LV2_Options_Option options[] {
        { LV2_OPTIONS_INSTANCE, 0, maxBlockLength, sizeof (maxBlock), intType, &maxBlock },
        { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
    };
    const LV2_Feature mapFeature { LV2_URID__map, &map };
    const LV2_Feature unmapFeature { LV2_URID__unmap, &unmap };
    const LV2_Feature optionsFeature { LV2_OPTIONS__options, const_cast<LV2_Options_Option*> (options) };
    const LV2_Feature boundedFeature { LV2_BUF_SIZE__boundedBlockLength, nullptr };
    const LV2_Feature* features[] { &mapFeature, &unmapFeature, &optionsFeature, &boundedFeature, nullptr };

    auto* instance = lilv_plugin_instantiate (plugin, 48000.0, features);

    if (instance == nullptr)
        return 12;

    for (const auto& text : { statebytes::toBase64 (statebytes::frame (statebytes::gainState ("3.0"))), value })
    {
        auto* state = lilv_state_new_from_string (world, &map, turtleState (text).c_str());

        if (state == nullptr)
            return 13;

        lilv_state_restore (state, instance, nullptr, nullptr, 0, features);
        lilv_state_free (state);
    }

    // Saved through the plug-in's own state interface, as lilv does, so that the stored text
    // can be read back without a Turtle reader.
    SavedText saved { map.map (&table, HALVORA_LV2_URI ":state"), {} };
    const auto* stateInterface = static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));

    if (stateInterface == nullptr
        || stateInterface->save (lilv_instance_get_handle (instance), SavedText::store, &saved, 0, features) != LV2_STATE_SUCCESS)
        return 14;

    const auto gain = statebytes::gainIn (saved.text);
    [[maybe_unused]] const auto written = ::write (fd, gain.data(), gain.size());

    lilv_instance_free (instance);
    lilv_node_free (uri);
    lilv_node_free (bundle);
    lilv_world_free (world);
    return 0;
}

/** The gain saved after the restore, or a description of how the host failed. */
std::string restoreInChild (const std::string& value)
{
    const auto outcome = childhost::run ([&] (int fd) { return hostOneCase (fd, value); });
    return outcome.problem.empty() ? outcome.report : outcome.problem;
}

//==============================================================================
struct StateCase
{
    const char* name;
    std::string value;
    const char* gainAfter; // "3.0" when the state is refused: the baseline stays
};

void PrintTo (const StateCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::string sixDb = statebytes::toBase64 (statebytes::frame (statebytes::gainState ("6.0")));

std::string withSize (const std::string& text, const std::string& size)
{
    return size + text.substr (text.find ('.'));
}

std::string withLineBreaks (std::string text)
{
    for (auto at = text.size() - 10; at > text.find ('.') + 1; at = at > 40 ? at - 40 : 0)
        text.insert (at, "\n  ");
    return text;
}

StateCase cases[] = {
    { "RealState", sixDb, "6.0" },
    { "RealStateWrappedOverLines", withLineBreaks (sixDb), "6.0" },
    { "MinusOne", "-1.AAAA", "3.0" },
    { "SizeMaxOf32Bits", "4294967295.AAAA", "3.0" },
    { "TwoBillionBytes", "2000000000.A", "3.0" },
    { "TwentyDigits", "18446744073709551617.AAAA", "3.0" },
    { "SizeOneMoreThanTheText", withSize (sixDb, std::to_string (std::stoul (sixDb) + 1)), "3.0" },
    { "SizeWithPlusSign", withSize (sixDb, "+" + sixDb.substr (0, sixDb.find ('.'))), "3.0" },
    { "NoDot", "AAAA", "3.0" },
    { "Empty", "", "3.0" },
};

class Lv2StateRestore : public testing::TestWithParam<StateCase>
{
};

TEST_P (Lv2StateRestore, HostSurvivesAndStateIsAppliedOrRefused)
{
    EXPECT_EQ (restoreInChild (GetParam().value), GetParam().gainAfter);
}

std::string caseName (const testing::TestParamInfo<StateCase>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P (Cases, Lv2StateRestore, testing::ValuesIn (cases), caseName);
} // namespace
