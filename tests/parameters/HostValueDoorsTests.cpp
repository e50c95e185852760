// One host value, every door: the same text typed or automated through the LV2 control
// ports, the Audio Unit's parameter calls, the parameter objects as the framework's VST3
// wrapper drives them, halvora-render's -p and a saved state's "value" leaves the parameter
// holding the same value, to the bit. NaN is the default, values beyond the range clamp,
// a choice's index rounds to the nearest entry (a half to the even one).
// The CLAP plug-in's parameter events are a door too (clap/ClapDoor.cpp).

#include "audiounit/AudioUnitHost.h"
#include "clap/ClapDoor.h"
#include "helpers/TestHelpers.h"
#include "helpers/UridTable.h"
#include "lv2/Lv2Instance.h"
#include "lv2/Lv2Ports.h"
#include "ProcessorSettings.h"
#include "state/StateFraming.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>

namespace
{
using testutil::UridTable;

struct DoorCase
{
    const char* id;
    const char* text;   // as a user types it, or the host's float printed
    float expectedHeld; // worked out by hand from the range, the step and the rule
};

void PrintTo (const DoorCase& c, std::ostream* os)
{
    *os << c.id << " = " << c.text;
}

float plainOf (const DoorCase& c)
{
    return static_cast<float> (std::strtod (c.text, nullptr));
}

bool isChoice (const juce::RangedAudioParameter& parameter)
{
    return dynamic_cast<const juce::AudioParameterChoice*> (&parameter) != nullptr;
}

/** The host's normalised value for a plain one, as a host works it out from the range. */
float normalisedOf (const juce::RangedAudioParameter& parameter, float plain)
{
    const auto& range = parameter.getNormalisableRange();
    return (plain - range.start) / (range.end - range.start);
}

//==============================================================================
float throughLv2Port (const DoorCase& c)
{
    UridTable table;
    LV2_URID_Map map { &table, UridTable::map };
    const LV2_Feature mapFeature { LV2_URID__map, &map };
    const LV2_Feature* features[] { &mapFeature, nullptr };
    auto instance = halvora::lv2::Lv2Instance::create (44100.0, features);

    std::vector<float> in (64, 0.1f), out[2] { std::vector<float> (64), std::vector<float> (64) };
    instance->connectPort (halvora::lv2::audioIn1, in.data());
    instance->connectPort (halvora::lv2::audioIn2, in.data());
    instance->connectPort (halvora::lv2::audioOut1, out[0].data());
    instance->connectPort (halvora::lv2::audioOut2, out[1].data());

    float port = plainOf (c);
    for (size_t i = 0; i < halvora::parameterIDs.size(); ++i)
        if (std::string (halvora::parameterIDs[i]) == c.id)
            instance->connectPort (halvora::lv2::controlPortFor (i), &port);

    instance->activate();
    instance->run (64);
    return testutil::getPlain (instance->getProcessor(), c.id);
}

float throughAudioUnit (const DoorCase& c)
{
    testhost::HostedUnit unit;
    auto& processor = unit.object().getProcessor();
    const auto& parameter = testutil::param (processor, c.id);

    // The unit publishes a choice by its index and the others as 0 to 1.
    const auto plain = plainOf (c);
    unit.setParameter (c.id, isChoice (parameter) ? plain : normalisedOf (parameter, plain));
    return testutil::getPlain (processor, c.id);
}

float throughVst3Wrapper (const DoorCase& c)
{
    // The framework's VST3 wrapper hands the host's normalised value to the parameter's
    // setter, then tells its listeners; nothing of ours stands in between.
    HalvoraAudioProcessor processor;
    juce::AudioProcessorParameter& parameter = testutil::param (processor, c.id);
    const auto normalised = normalisedOf (testutil::param (processor, c.id), plainOf (c));
    parameter.setValue (normalised);
    parameter.sendValueChangedMessageToListeners (normalised);
    return testutil::getPlain (processor, c.id);
}

/** Nothing when the renderer refuses the text (it names the problem instead). */
std::optional<float> throughRenderOption (const DoorCase& c)
{
    HalvoraAudioProcessor processor;
    juce::StringArray warnings;
    const auto error = halvora::applyParameterSetting (processor, { c.id, c.text }, warnings);

    if (error.isNotEmpty())
        return std::nullopt;

    return testutil::getPlain (processor, c.id);
}

float throughSavedState (const DoorCase& c)
{
    HalvoraAudioProcessor processor;
    const auto block = *halvora::StateFraming::frame (std::string ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><PARAMS><PARAM id=\"") + c.id
                                                      + "\" value=\"" + c.text + "\"/></PARAMS>");
    processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
    return testutil::getPlain (processor, c.id);
}

//==============================================================================
class EveryDoor : public testing::TestWithParam<DoorCase>
{
};

TEST_P (EveryDoor, HoldsTheSameValue)
{
    const auto& c = GetParam();
    const auto lv2 = throughLv2Port (c);

    EXPECT_NEAR (lv2, c.expectedHeld, 1.0e-5f * std::max (1.0f, std::abs (c.expectedHeld)));
    EXPECT_EQ (clapdoor::heldAfterEvent (c.id, std::strtod (c.text, nullptr)), lv2);
    EXPECT_EQ (throughAudioUnit (c), lv2);
    EXPECT_EQ (throughVst3Wrapper (c), lv2);

    // The renderer reads numbers only: it refuses "nan" and "inf" with a message.
    if (std::isfinite (plainOf (c)))
    {
        EXPECT_EQ (throughRenderOption (c), lv2);
    }
    else
    {
        EXPECT_FALSE (throughRenderOption (c).has_value());
    }

    // A state's text that is no number reads as 0 (it always has), so only numbers here.
    if (std::isfinite (plainOf (c)))
    {
        EXPECT_EQ (throughSavedState (c), lv2);
    }
}

const DoorCase doorCases[] {
    { "gain", "-6", -6.0f },
    { "gain", "3.004", 3.0f }, // onto the 0.01 dB step
    { "gain", "24", 24.0f },   // at the bound
    { "gain", "24.5", 24.0f }, // beyond it
    { "gain", "nan", 0.0f },   // the default
    { "gain", "inf", 24.0f },
    { "gain", "-inf", -24.0f },
    { "gain", "1e30", 24.0f },
    { "gain", "-1e30", -24.0f },
    { "vibRate", "0.05", 0.1f },
    { "vibRate", "10", 10.0f },
    { "vibRate", "nan", 5.0f },
    { "delayMix", "33.33", 33.3f }, // onto the 0.1 step
    { "delayMix", "150", 100.0f },
    { "delayMix", "-5", 0.0f },
    { "morvel", "0.8", 0.8f },
    { "morvel", "nan", 0.5f },
    { "formant", "-inf", -1.0f },
    { "formant", "0.0004", 0.0f },
    { "key", "2.7", 3.0f }, // D#, not D
    { "key", "2.4", 2.0f },
    { "key", "2.5", 2.0f }, // a half goes to the even entry
    { "key", "3.5", 4.0f },
    { "key", "11", 11.0f },
    { "key", "11.6", 11.0f },
    { "key", "-0.4", 0.0f },
    { "key", "-3", 0.0f },
    { "key", "nan", 0.0f },
    { "key", "inf", 11.0f },
    { "key", "1e30", 11.0f },
    { "scale", "4.49", 4.0f },
    { "scale", "0.5", 0.0f },
    { "scale", "1.5", 2.0f },
    { "range", "1.5", 2.0f },
    { "range", "-inf", 0.0f },
    { "voice", "0.5", 0.0f },
    { "voice", "0.51", 1.0f },
    { "voice", "0.49", 0.0f },
};

std::string nameOf (const DoorCase& c)
{
    std::string name = std::string (c.id) + "_";

    for (const auto* t = c.text; *t != 0; ++t)
        name += std::isalnum (static_cast<unsigned char> (*t)) ? *t : (*t == '-' ? 'm' : '_');

    return name;
}

INSTANTIATE_TEST_SUITE_P (Table, EveryDoor, testing::ValuesIn (doorCases), [] (const auto& testInfo) { return nameOf (testInfo.param); });

} // namespace
