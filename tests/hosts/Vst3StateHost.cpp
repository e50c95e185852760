// A small VST3 host on the SDK's interface headers alone (no framework on this side): it
// loads the built plug-in as a host does, restores saved states through
// IComponent::setState with a stream of ours that can hand the bytes out in pieces, and
// reads the result back with getState. Each case runs in a child process under an
// address-space limit, so that a crash or a memory bomb fails that case alone.

#include "ChildHost.h"
#include "StateBytes.h"
#include "Vst3MiniHost.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace Steinberg;
using vst3host::PieceStream;

namespace
{

/** What a child process reports back: setState's result and the state getState wrote. */
struct Report
{
    bool exitedCleanly = false;
    std::string problem;
    tresult result = kResultFalse;
    std::string savedState;
};

/** Loads the plug-in, restores the baseline state and then the case's bytes, and writes
    the outcome to fd. Runs in the child.
*/
int hostOneCase (int fd, const std::string& bytes, int32 maxPiece)
{
    auto* component = vst3host::loadComponent (HALVORA_VST3_BINARY);

    if (component == nullptr)
        return 11;

    PieceStream baseline (statebytes::frame (statebytes::gainState ("3.0")));
    component->setState (&baseline);

    PieceStream hostile (bytes, maxPiece);
    const auto result = component->setState (&hostile);

    PieceStream saved;
    component->getState (&saved);

    const auto& out = saved.content();
    [[maybe_unused]] auto written = ::write (fd, &result, sizeof (result));
    written = ::write (fd, out.data(), out.size());

    component->terminate();
    component->release();
    return 0;
}

Report runInChild (const std::string& bytes, int32 maxPiece)
{
    const auto outcome = childhost::run ([&] (int fd) { return hostOneCase (fd, bytes, maxPiece); });
    Report report;
    report.problem = outcome.problem;

    if (report.problem.empty() && outcome.report.size() < sizeof (tresult))
        report.problem = "no report from the host";

    if (report.problem.empty())
    {
        report.exitedCleanly = true;
        std::memcpy (&report.result, outcome.report.data(), sizeof (tresult));
        report.savedState = outcome.report.substr (sizeof (tresult));
    }

    return report;
}

//==============================================================================
struct StateCase
{
    const char* name;
    std::string bytes;
    int32 maxPiece;
    const char* gainAfter; // "3.0" when the state is refused: the baseline stays
    bool bypassedAfter;
};

void PrintTo (const StateCase& c, std::ostream* os)
{
    *os << c.name;
}

using namespace statebytes;

const std::string sixDb = frame (gainState ("6.0"));
const std::string sixDbBypassed = withTrailer (sixDb, bypassTree (true));

StateCase cases[] = {
    { "RealStateWhole", sixDb, 0, "6.0", false },
    { "RealStateWithBypassTrailer", sixDbBypassed, 0, "6.0", true },
    { "RealStateIn100BytePieces", sixDbBypassed, 100, "6.0", true },
    { "RealStateIn7BytePieces", sixDbBypassed, 7, "6.0", true },

    // Nothing but a trailer: its size cannot fit, so the bytes go to the plug-in whole and are refused.
    { "TrailerOnlySizeMax", trailerOnly (0xffffffffffffffffull), 0, "3.0", false },
    { "TrailerOnlySizeNegative", trailerOnly (0x8000000000000000ull), 0, "3.0", false },
    { "TrailerOnlySize2GB", trailerOnly (0x80000000ull), 0, "3.0", false },
    { "TrailerOnlySizeOne", trailerOnly (1), 0, "3.0", false },
    { "TrailerOnlySizeZero", trailerOnly (0), 0, "3.0", false },

    // A real state whose trailer size alone was changed: the trailer is not believed, the
    // plug-in reads its own frame and ignores what follows.
    { "RealStateTrailerSizeOneTooLarge", withTrailer (sixDb, bypassTree (true), sixDbBypassed.size() - 31 + 1), 0, "6.0", false },
    { "RealStateTrailerSizeMax", withTrailer (sixDb, bypassTree (true), 0xffffffffffffffffull), 0, "6.0", false },
    { "RealStateTrailerSizeNegative", withTrailer (sixDb, bypassTree (true), 0xfffffffffffffff0ull), 0, "6.0", false },

    // Private data that is not the framework's bypass tree is left alone.
    { "PrivateTreeAsksForTwoBillionChildren", withTrailer (sixDb, childrenBombTree()), 0, "6.0", false },
    { "PrivateTreeBinaryPropertyOf2GB", withTrailer (sixDb, binaryBombTree()), 0, "6.0", false },
    { "PrivateTreeBypassAsInteger", withTrailer (sixDb, bypassAsIntegerTree()), 0, "6.0", false },
};

class Vst3SetState : public testing::TestWithParam<StateCase>
{
};

TEST_P (Vst3SetState, HostSurvivesAndStateIsAppliedOrRefused)
{
    const auto& c = GetParam();
    const auto report = runInChild (c.bytes, c.maxPiece);

    ASSERT_TRUE (report.exitedCleanly) << report.problem;
    EXPECT_EQ (report.result, kResultTrue);
    EXPECT_EQ (gainIn (report.savedState), c.gainAfter);
    EXPECT_NE (report.savedState.find (bypassTree (c.bypassedAfter)), std::string::npos)
        << "the saved state does not carry bypass " << c.bypassedAfter;
}

std::string caseName (const testing::TestParamInfo<StateCase>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P (Cases, Vst3SetState, testing::ValuesIn (cases), caseName);
} // namespace
