// The CLAP plug-in's process() on the host's audio thread: applying a parameter event for
// every parameter in every block (hostile values included) and processing blocks from one
// sample to twice the longest the host announced allocates nothing.

#include "realtime/AllocationCounter.h"
#include "clap/ClapPlugin.h"
#include "clap/ClapTestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{

TEST (ClapProcessAllocations, NoneWhileEveryParameterJumpsInBlocksUpToTwiceTheMaximum)
{
    constexpr std::uint32_t maxBlock = 1024;
    claphost::Host host;
    claphost::Instance plugin (halvora::clap::ClapPlugin::create (&host.host), host);
    ASSERT_TRUE (plugin.isLoaded());
    ASSERT_TRUE (plugin.activate (48000.0, maxBlock));

    constexpr std::uint32_t longest = 2 * maxBlock;
    std::vector<float> in[2], out[2];

    for (int ch = 0; ch < 2; ++ch)
    {
        in[ch].resize (longest);
        out[ch].resize (longest);

        for (std::uint32_t i = 0; i < longest; ++i)
            in[ch][i] = 0.4f * std::sin (0.031f * static_cast<float> (i + 7 * static_cast<std::uint32_t> (ch)));
    }

    // Every stage on: delay, reverb, vibrato, and a range the detector searches.
    const double everyStageOn[] { 0.3, -3.0, 6.0, 40.0, 50.0, 50.0, 0.9, 2.0, 1.0, 3.0, 1.0 };
    claphost::InputEvents events;
    for (clap_id id = 0; id < 11; ++id)
        events.add (id, everyStageOn[id]);

    // The first block after activation may settle the framework's lazies; the event list
    // is sized here, so the loop only rewrites its values.
    plugin.process ({ in[0].data(), in[1].data() }, { out[0].data(), out[1].data() }, 512, events);

    float* ins[] { in[0].data(), in[1].data() };
    float* outs[] { out[0].data(), out[1].data() };
    const double jumps[] { std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1.0e30, 0.5, 3.0 };
    const std::uint32_t blocks[] { 1, 2, 64, 511, maxBlock - 1, maxBlock, maxBlock + 1, longest - 1, longest };

    for (const auto n : blocks)
    {
        for (const auto value : jumps)
        {
            for (auto& e : events.events)
                e.value = value;

            AllocationCounter::start();
            const auto status = plugin.process (ins, 2, outs, 2, n, events);
            const auto allocations = AllocationCounter::stop();

            EXPECT_EQ (allocations, 0) << "block of " << n << " with every parameter at " << value;
            EXPECT_EQ (status, CLAP_PROCESS_CONTINUE);
        }
    }
}

} // namespace
