// The host-value rule on its own: which normalised value each kind of host value hands a
// parameter, and that a parameter handed NaN by a format wrapper holds its default.

#include "helpers/TestHelpers.h"
#include "parameters/HostValue.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using namespace halvora;

constexpr auto nan = std::numeric_limits<float>::quiet_NaN();
constexpr auto inf = std::numeric_limits<float>::infinity();

TEST (HostValue, NormalisedValuesClampAndNaNIsTheDefault)
{
    HalvoraAudioProcessor processor;
    const auto& vibRate = testutil::param (processor, "vibRate");

    EXPECT_EQ (HostValue::fromNormalised (vibRate, 0.25f), 0.25f);
    EXPECT_EQ (HostValue::fromNormalised (vibRate, 1.5f), 1.0f);
    EXPECT_EQ (HostValue::fromNormalised (vibRate, -inf), 0.0f);
    EXPECT_EQ (HostValue::fromNormalised (vibRate, nan), vibRate.getDefaultValue());
    EXPECT_FLOAT_EQ (HostValue::heldValue (vibRate, nan), 5.0f);
    EXPECT_FLOAT_EQ (HostValue::heldValue (vibRate, 0.5f), 5.05f);
}

TEST (HostValue, EveryChoiceIndexAndHalfWayComesBackWhole)
{
    // Index k and k + 0.5 of every list: the normalised value must bring back k, and the
    // even one of k and k + 1, exactly, whatever the float range does with k / (n - 1).
    HalvoraAudioProcessor processor;

    for (const auto& choice : choiceParameters)
    {
        const auto& parameter = testutil::param (processor, choice.id);

        for (int k = 0; k < choice.numChoices; ++k)
        {
            EXPECT_EQ (HostValue::heldValue (parameter, HostValue::fromPlain (parameter, k)), static_cast<float> (k)) << choice.id;

            const auto even = std::min (k % 2 == 0 ? k : k + 1, choice.numChoices - 1);
            EXPECT_EQ (HostValue::heldValue (parameter, HostValue::fromPlain (parameter, k + 0.5)), static_cast<float> (even))
                << choice.id << " " << k << ".5";
        }
    }
}

TEST (HeldParameters, NaNFromAFormatWrapperIsHeldAsTheDefault)
{
    // The VST3 wrapper calls the setter itself; what it leaves behind plays, is read back by
    // the host and is saved.
    HalvoraAudioProcessor processor;

    for (const auto* id : parameterIDs)
    {
        juce::AudioProcessorParameter& parameter = testutil::param (processor, id);
        parameter.setValue (0.75f);
        parameter.setValue (nan);
        EXPECT_EQ (parameter.getValue(), parameter.getDefaultValue()) << id;
    }
}

} // namespace
