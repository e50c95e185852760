// The LV2 control ports as the processor sees them: a port's value reaches the parameter
// exactly as the same value through every other door would (NaN as the default, the
// infinities and other values outside the range clamped, choices rounded to an entry),
// and only ports that changed are applied, so a restored state outlives ports the host did
// not restore.

#include "helpers/TestHelpers.h"
#include "lv2/Lv2ControlPorts.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using halvora::lv2::Lv2ControlPorts;

constexpr auto inf = std::numeric_limits<float>::infinity();
constexpr auto nan = std::numeric_limits<float>::quiet_NaN();

size_t indexOf (const char* id)
{
    for (size_t i = 0; i < halvora::parameterIDs.size(); ++i)
        if (std::string (halvora::parameterIDs[i]) == id)
            return i;

    return halvora::parameterIDs.size();
}

/** What the parameter holds, which the processor's blocks read. */
float heldValue (HalvoraAudioProcessor& processor, const char* id)
{
    return testutil::getPlain (processor, id);
}

/** What the parameter holds after a host sets the in-range `plain` through it, as the
    renderer, the VST3 and the Audio Unit doors do.
*/
float throughTheParameter (const char* id, float plain)
{
    HalvoraAudioProcessor processor;
    auto& parameter = testutil::param (processor, id);
    parameter.setValueNotifyingHost (parameter.convertTo0to1 (plain));
    return heldValue (processor, id);
}

struct PortCase
{
    const char* id;
    float portValue;
    float sameAsPlain; // the in-range value another door would be given
};

void PrintTo (const PortCase& c, std::ostream* os)
{
    *os << c.id << " = " << c.portValue;
}

class PortValue : public testing::TestWithParam<PortCase>
{
};

TEST_P (PortValue, ReachesTheProcessorAsThroughEveryOtherDoor)
{
    const auto& c = GetParam();
    HalvoraAudioProcessor processor;
    Lv2ControlPorts ports (processor.apvts);
    float port = c.portValue;
    ports.connect (indexOf (c.id), &port);
    ports.apply();

    const auto held = heldValue (processor, c.id);
    EXPECT_TRUE (std::isfinite (held));
    EXPECT_EQ (held, throughTheParameter (c.id, c.sameAsPlain));
}

INSTANTIATE_TEST_SUITE_P (
    Table, PortValue,
    testing::Values (PortCase { "gain", 3.333333f, 3.333333f }, PortCase { "gain", -6.0f, -6.0f },
                     PortCase { "gain", nan, 0.0f }, PortCase { "gain", inf, 24.0f }, PortCase { "gain", -inf, -24.0f },
                     PortCase { "gain", 1.0e30f, 24.0f }, PortCase { "vibRate", 0.0f, 0.1f }, PortCase { "vibRate", nan, 5.0f },
                     PortCase { "morvel", nan, 0.5f }, PortCase { "morvel", 0.8f, 0.8f }, PortCase { "formant", -inf, -1.0f },
                     PortCase { "delayMix", 150.0f, 100.0f }, PortCase { "key", 2.6f, 3.0f }, PortCase { "key", 2.4f, 2.0f },
                     PortCase { "key", 99.0f, 11.0f }, PortCase { "key", -1.0f, 0.0f }, PortCase { "key", inf, 11.0f },
                     PortCase { "scale", nan, 0.0f }, PortCase { "range", -inf, 0.0f }, PortCase { "range", 4.0f, 4.0f }));

TEST (Lv2ControlPorts, AppliesOnlyPortsThatChanged)
{
    HalvoraAudioProcessor processor;
    Lv2ControlPorts ports (processor.apvts);
    float gain = -6.0f;
    ports.connect (indexOf ("gain"), &gain);

    ports.apply();
    EXPECT_EQ (heldValue (processor, "gain"), -6.0f);

    // Something else (a restore) changes the value; the unchanged port leaves it be.
    testutil::setPlain (processor, "gain", 9.0f);
    ports.apply();
    EXPECT_EQ (heldValue (processor, "gain"), 9.0f);

    gain = -3.0f;
    ports.apply();
    EXPECT_EQ (heldValue (processor, "gain"), -3.0f);
}

TEST (Lv2ControlPorts, AfterARestoreTheRestoredValuesStandUntilAPortChanges)
{
    HalvoraAudioProcessor processor;
    Lv2ControlPorts ports (processor.apvts);
    float gain = 0.0f, key = 0.0f, scale = 0.0f;
    ports.connect (indexOf ("gain"), &gain);
    ports.connect (indexOf ("key"), &key);
    ports.apply();

    // A restore of a state whose values the host keeps no ports for.
    testutil::setPlain (processor, "gain", 12.0f);
    testutil::setPlain (processor, "key", 5.0f);
    testutil::setPlain (processor, "scale", 2.0f);
    ports.takePortValuesAsApplied();

    // A port connected only afterwards holds the host's default: that is no change either.
    ports.connect (indexOf ("scale"), &scale);
    ports.apply();
    EXPECT_EQ (heldValue (processor, "gain"), 12.0f);
    EXPECT_EQ (heldValue (processor, "key"), 5.0f);
    EXPECT_EQ (heldValue (processor, "scale"), 2.0f);

    key = 7.0f;
    ports.apply();
    EXPECT_EQ (heldValue (processor, "gain"), 12.0f);
    EXPECT_EQ (heldValue (processor, "key"), 7.0f);
}

TEST (Lv2ControlPorts, APortTheHostSetsAfterARestoreIsApplied)
{
    // As lilv and the framework's host do: the state first, then the ports' saved values,
    // or a parameter the host sets before the next run.
    HalvoraAudioProcessor processor;
    Lv2ControlPorts ports (processor.apvts);
    float gain = 0.0f;
    ports.connect (indexOf ("gain"), &gain);
    testutil::setPlain (processor, "gain", 12.0f);
    ports.takePortValuesAsApplied();

    gain = -9.0f;
    ports.apply();
    EXPECT_EQ (heldValue (processor, "gain"), -9.0f);
}

TEST (Lv2ControlPorts, UnconnectedPortsLeaveTheirParametersAlone)
{
    HalvoraAudioProcessor processor;
    Lv2ControlPorts ports (processor.apvts);
    testutil::setPlain (processor, "reverbMix", 40.0f);
    ports.apply();
    EXPECT_EQ (heldValue (processor, "reverbMix"), 40.0f);
}

TEST (Lv2ControlPorts, ThePortsValuesReachTheValueTreeStateOncePublished)
{
    // The audio thread only stores into the parameter; the value-tree state, which saves it,
    // hears of it when the ports' changes are published (before a save or a restore).
    HalvoraAudioProcessor processor;
    Lv2ControlPorts ports (processor.apvts);
    float gain = -6.0f, key = 2.7f;
    ports.connect (indexOf ("gain"), &gain);
    ports.connect (indexOf ("key"), &key);
    ports.apply();

    ports.publishChanges();
    EXPECT_EQ (processor.apvts.getRawParameterValue ("gain")->load(), -6.0f);
    EXPECT_EQ (processor.apvts.getRawParameterValue ("key")->load(), 3.0f);

    juce::MemoryBlock block;
    processor.getStateInformation (block);
    HalvoraAudioProcessor restored;
    restored.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
    EXPECT_EQ (heldValue (restored, "gain"), -6.0f);
    EXPECT_EQ (heldValue (restored, "key"), 3.0f);
}

} // namespace
