// The ON target on its LV2 message port: what the window sends when the host keeps it apart
// from the plug-in, what the plug-in takes from the port (and what it passes over), and that
// the message switches the correction of the plug-in that plays without reaching its state.

#include "helpers/AtomSequenceBuffer.h"
#include "helpers/TestSignals.h"
#include "helpers/UridTable.h"
#include "lv2/Lv2Instance.h"
#include "lv2/Lv2OnTarget.h"
#include "lv2/Lv2Ports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace
{
using namespace halvora::lv2;
using testutil::AtomSequenceBuffer;
using testutil::UridTable;

struct OnTargetPort : public testing::Test
{
    UridTable table;
    LV2_URID_Map map { &table, UridTable::map };
    OnTargetUrids urids = OnTargetUrids::map (map);
};

TEST_F (OnTargetPort, EveryTargetTravelsWhole)
{
    for (int target = 0; target <= 4; ++target)
    {
        const auto message = OnTargetMessage::make (urids, target);
        EXPECT_EQ (readOnTarget (urids, message.object.atom), target);
        EXPECT_EQ (message.atomSize() % 4, 0u);
    }
}

TEST_F (OnTargetPort, WhatIsNotSuchAMessageIsPassedOver)
{
    auto otherType = OnTargetMessage::make (urids, 3);
    otherType.object.body.otype = map.map (map.handle, "urn:somebody:else");
    EXPECT_FALSE (readOnTarget (urids, otherType.object.atom).has_value());

    for (const auto target : { -1, 5, 1000 })
        EXPECT_FALSE (readOnTarget (urids, OnTargetMessage::make (urids, target).object.atom).has_value()) << target;

    auto floatValue = OnTargetMessage::make (urids, 3);
    floatValue.property.value.type = map.map (map.handle, LV2_ATOM__Float);
    EXPECT_FALSE (readOnTarget (urids, floatValue.object.atom).has_value());

    auto cutShort = OnTargetMessage::make (urids, 3);
    cutShort.object.atom.size = sizeof (LV2_Atom_Object_Body) + 4; // the property does not fit
    EXPECT_FALSE (readOnTarget (urids, cutShort.object.atom).has_value());

    const LV2_Atom_Int plainInt { { sizeof (std::int32_t), urids.atomInt }, 3 };
    EXPECT_FALSE (readOnTarget (urids, plainInt.atom).has_value());
}

TEST_F (OnTargetPort, TheLastMessageOfARunWins)
{
    AtomSequenceBuffer port (urids.atomSequence);
    EXPECT_FALSE (readOnTargetInput (urids, *port.sequence()).lastTarget.has_value());

    const auto key = OnTargetMessage::make (urids, 3);
    const auto scale = OnTargetMessage::make (urids, 4);
    const LV2_Atom_Int unrelated { { sizeof (std::int32_t), urids.atomInt }, 1 };
    port.add (&key, key.atomSize());
    port.add (&unrelated, sizeof (unrelated));
    port.add (&scale, scale.atomSize());
    const auto input = readOnTargetInput (urids, *port.sequence());
    EXPECT_EQ (input.lastTarget, 4);
    EXPECT_FALSE (input.asked);
}

TEST_F (OnTargetPort, TheQuestionIsTheObjectWithoutItsTarget)
{
    const auto question = OnTargetMessage::question (urids);
    EXPECT_TRUE (isOnTargetQuestion (urids, question.object.atom));
    EXPECT_FALSE (readOnTarget (urids, question.object.atom).has_value());
    EXPECT_FALSE (isOnTargetQuestion (urids, OnTargetMessage::make (urids, 3).object.atom));

    auto otherType = question;
    otherType.object.body.otype = map.map (map.handle, "urn:somebody:else");
    EXPECT_FALSE (isOnTargetQuestion (urids, otherType.object.atom));

    AtomSequenceBuffer port (urids.atomSequence);
    const auto key = OnTargetMessage::make (urids, 3);
    port.add (&key, key.atomSize());
    port.add (&question, question.atomSize());
    const auto input = readOnTargetInput (urids, *port.sequence());
    EXPECT_EQ (input.lastTarget, 3);
    EXPECT_TRUE (input.asked);
}

TEST_F (OnTargetPort, TheAnswerGoesOutWhereTheHostsBufferHoldsIt)
{
    // On entry the port's atom size is the host's capacity; on return the sequence's size.
    const auto answerInto = [&] (std::uint32_t capacity, std::optional<int> target, LV2_Atom_Sequence& port) {
        port.atom.size = capacity;
        return writeOnTargetReport (urids, port, target);
    };

    std::vector<std::uint64_t> room (16, ~std::uint64_t { 0 });
    auto& port = *reinterpret_cast<LV2_Atom_Sequence*> (room.data());

    ASSERT_TRUE (answerInto (120, 4, port));
    EXPECT_EQ (port.atom.type, urids.atomSequence);
    const auto input = readOnTargetInput (urids, port);
    EXPECT_EQ (input.lastTarget, 4);
    const auto& event = *reinterpret_cast<const LV2_Atom_Event*> (&port.body + 1);
    EXPECT_EQ (event.time.frames, 0);

    // No answer due, or too little room for it: an empty sequence, as every run must leave.
    const auto emptySize = static_cast<std::uint32_t> (sizeof (LV2_Atom_Sequence_Body));
    EXPECT_FALSE (answerInto (120, std::nullopt, port));
    EXPECT_EQ (port.atom.size, emptySize);
    EXPECT_FALSE (answerInto (emptySize + 8, 4, port));
    EXPECT_EQ (port.atom.size, emptySize);
    EXPECT_FALSE (readOnTargetInput (urids, port).lastTarget.has_value());

    // A host that states no room at all gets nothing written, not even the sequence's header.
    room.assign (room.size(), 0);
    EXPECT_FALSE (answerInto (0, 4, port));
    EXPECT_EQ (std::count (room.begin(), room.end(), 0u), static_cast<std::ptrdiff_t> (room.size()));
}

TEST_F (OnTargetPort, ThePlugInAnswersTheQuestionWithTheTargetItPlaysWith)
{
    const LV2_Feature mapFeature { LV2_URID__map, &map };
    const LV2_Feature* features[] { &mapFeature, nullptr };
    auto instance = Lv2Instance::create (44100.0, features);
    ASSERT_NE (instance, nullptr);

    std::vector<float> silence (64), out[2] { std::vector<float> (64), std::vector<float> (64) };
    instance->connectPort (audioIn1, silence.data());
    instance->connectPort (audioIn2, silence.data());
    instance->connectPort (audioOut1, out[0].data());
    instance->connectPort (audioOut2, out[1].data());
    instance->activate();

    std::vector<std::uint64_t> reportRoom (32);
    auto& report = *reinterpret_cast<LV2_Atom_Sequence*> (reportRoom.data());
    instance->connectPort (onTargetReport, &report);

    const auto run = [&] (const void* message, std::uint32_t bytes) {
        AtomSequenceBuffer port (urids.atomSequence);

        if (message != nullptr)
            port.add (message, bytes);

        instance->connectPort (onTarget, port.sequence());
        report.atom.size = static_cast<std::uint32_t> (reportRoom.size() * sizeof (std::uint64_t) - sizeof (LV2_Atom));
        instance->run (64);
        return readOnTargetInput (urids, report).lastTarget;
    };

    const auto voice = OnTargetMessage::make (urids, 2);
    const auto question = OnTargetMessage::question (urids);
    EXPECT_FALSE (run (nullptr, 0).has_value()) << "an answer nobody asked for";
    EXPECT_FALSE (run (&voice, voice.atomSize()).has_value());
    EXPECT_EQ (run (&question, question.atomSize()), 2);
    EXPECT_FALSE (run (nullptr, 0).has_value()) << "answered twice";
}

/** A stereo plug-in instance, an off-key voice through it in runs of 512. */
juce::AudioBuffer<float> play (const LV2_URID_Map& map, const void* message, std::uint32_t messageBytes, std::string* savedText)
{
    const LV2_Feature mapFeature { LV2_URID__map, const_cast<LV2_URID_Map*> (&map) };
    const LV2_Feature* features[] { &mapFeature, nullptr };
    auto instance = Lv2Instance::create (44100.0, features);

    const auto urids = OnTargetUrids::map (map);
    AtomSequenceBuffer port (urids.atomSequence), empty (urids.atomSequence);

    if (message != nullptr)
        port.add (message, messageBytes);

    auto signal = testutil::makeTestSignal (2, 8192, 44100.0, 3);
    std::vector<float> out[2] { std::vector<float> (512), std::vector<float> (512) };
    instance->connectPort (audioOut1, out[0].data());
    instance->connectPort (audioOut2, out[1].data());
    instance->activate();

    for (int start = 0; start < signal.getNumSamples(); start += 512)
    {
        instance->connectPort (audioIn1, signal.getWritePointer (0, start));
        instance->connectPort (audioIn2, signal.getWritePointer (1, start));
        instance->connectPort (onTarget, start == 0 ? port.sequence() : empty.sequence());
        instance->run (512);

        for (int ch = 0; ch < 2; ++ch)
            std::copy (out[ch].begin(), out[ch].end(), signal.getWritePointer (ch, start));
    }

    if (savedText != nullptr)
    {
        const auto store = [] (LV2_State_Handle handle, std::uint32_t, const void* value, std::size_t size, std::uint32_t,
                               std::uint32_t) -> LV2_State_Status {
            static_cast<std::string*> (handle)->assign (static_cast<const char*> (value), size);
            return LV2_STATE_SUCCESS;
        };
        instance->save (store, savedText);
    }

    return signal;
}

bool identical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    for (int ch = 0; ch < a.getNumChannels(); ++ch)
        if (std::memcmp (a.getReadPointer (ch), b.getReadPointer (ch), sizeof (float) * static_cast<std::size_t> (a.getNumSamples())) != 0)
            return false;

    return true;
}

TEST_F (OnTargetPort, TheKeysButtonSwitchesTheCorrectionOfThePlugInThatPlays)
{
    std::string savedWith, savedWithout;
    const auto key = OnTargetMessage::make (urids, 3);
    const auto none = OnTargetMessage::make (urids, 0);

    const auto corrected = play (map, &key, key.atomSize(), &savedWith);
    const auto untouched = play (map, nullptr, 0, &savedWithout);

    EXPECT_FALSE (identical (corrected, untouched)) << "the correction did not act";
    EXPECT_TRUE (identical (play (map, &none, none.atomSize(), nullptr), untouched));

    // The ON target is never saved: the state is the same whichever button is lit.
    EXPECT_FALSE (savedWith.empty());
    EXPECT_EQ (savedWith, savedWithout);
}

} // namespace
