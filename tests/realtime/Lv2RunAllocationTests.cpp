// The LV2 plug-in's run() on the host's audio thread: reading the control ports (values
// changing every run, hostile ones included), taking the window's ON-target messages and
// answering its question, applying them and processing, in runs shorter and longer than the
// block the processor was prepared for, allocates nothing.

#include "helpers/AtomSequenceBuffer.h"
#include "helpers/UridTable.h"
#include "AllocationCounter.h"
#include "lv2/Lv2Instance.h"
#include "lv2/Lv2OnTarget.h"
#include "lv2/Lv2Ports.h"

#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
using namespace halvora::lv2;

using testutil::UridTable;

TEST (Lv2RunAllocations, NoneWhileTheHostRunsAndMovesTheControls)
{
    UridTable table;
    LV2_URID_Map map { &table, UridTable::map };
    const LV2_Feature mapFeature { LV2_URID__map, &map };
    const LV2_Feature* features[] { &mapFeature, nullptr };

    auto instance = Lv2Instance::create (48000.0, features);
    ASSERT_NE (instance, nullptr);

    constexpr std::uint32_t longest = 3 * defaultMaxBlock + 17;
    std::vector<float> in[2], out[2];
    std::array<float, halvora::parameterIDs.size()> controls {};
    float latency = -1.0f;

    for (int ch = 0; ch < 2; ++ch)
    {
        in[ch].resize (longest);
        out[ch].resize (longest);

        for (std::uint32_t i = 0; i < longest; ++i)
            in[ch][i] = 0.4f * std::sin (0.031f * static_cast<float> (i + 7 * static_cast<std::uint32_t> (ch)));
    }

    instance->connectPort (audioIn1, in[0].data());
    instance->connectPort (audioIn2, in[1].data());
    instance->connectPort (audioOut1, out[0].data());
    instance->connectPort (audioOut2, out[1].data());
    instance->connectPort (PortIndex::latency, &latency);

    for (size_t i = 0; i < controls.size(); ++i)
        instance->connectPort (controlPortFor (i), &controls[i]);

    // Every run, the window lights the key's button and asks which target plays; every run
    // the plug-in answers on its report port.
    const auto urids = OnTargetUrids::map (map);
    testutil::AtomSequenceBuffer messages (urids.atomSequence);
    std::vector<std::uint64_t> report (64, 0);
    auto& reportSequence = *reinterpret_cast<LV2_Atom_Sequence*> (report.data());

    for (const auto& message : { OnTargetMessage::make (urids, 3), OnTargetMessage::question (urids) })
        messages.add (&message, message.atomSize());

    instance->connectPort (onTarget, messages.sequence());
    instance->connectPort (onTargetReport, &reportSequence);
    const auto reportRoom = static_cast<std::uint32_t> (report.size() * sizeof (std::uint64_t) - sizeof (LV2_Atom));

    // Every stage on: delay, reverb, vibrato, and a range the detector searches.
    controls = { 0.3f, -3.0f, 6.0f, 40.0f, 50.0f, 50.0f, 0.9f, 2.0f, 1.0f, 3.0f, 1.0f };
    instance->activate();
    reportSequence.atom.size = reportRoom;
    instance->run (512); // the first run after activation may settle the framework's lazies

    const float hostile[] { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -1.0e30f, 0.5f };
    const std::uint32_t runs[] { 1, 64, 512, defaultMaxBlock, defaultMaxBlock + 1, longest };

    for (const auto n : runs)
    {
        for (const auto value : hostile)
        {
            for (auto& c : controls)
                c = value;

            reportSequence.atom.size = reportRoom;
            AllocationCounter::start();
            instance->run (n);
            EXPECT_EQ (AllocationCounter::stop(), 0) << "run of " << n << " with every control at " << value;
            EXPECT_EQ (readOnTargetInput (urids, reportSequence).lastTarget, 3) << "no answer after a run of " << n;
        }
    }

    EXPECT_EQ (latency, 0.0f);
    instance->deactivate();
}

} // namespace
