// Saved states through the CLAP plug-in's state extension, as a host hands them over from a
// project: bytes a host, a damaged file or a hand edit could give, through streams that hand
// them out whole, a byte at a time, end early or fail. Each case runs in a child process
// under an address-space limit, so that a crash or a memory bomb fails that case alone.
// The plug-in either takes the state or refuses it and stays as it was.

#include "clap/ClapTestHost.h"
#include "helpers/TextFloods.h"
#include "hosts/ChildHost.h"
#include "hosts/StateBytes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

namespace
{

using testutil::repeat;
using namespace statebytes;

enum class Stream
{
    whole,
    oneByteReads,
    sevenByteReads,
    failsHalfway,
    endless
};

/** Loads the plug-in, restores a baseline (gain 3.0), then the case's bytes, and reports
    load()'s result and the state save() writes afterwards. Runs in the child.
*/
int hostOneCase (int fd, const std::string& bytes, Stream kind)
{
    const auto* factory = claphost::factoryOf (claphost::loadEntry (HALVORA_CLAP_BINARY));

    if (factory == nullptr)
        return 11;

    claphost::Host host;
    claphost::Instance plugin (factory, host, "org.halvora.halvora");

    if (! plugin.isLoaded())
        return 12;

    claphost::InStream baseline (frame (gainState ("3.0")));

    if (! plugin.state->load (plugin.plugin, &baseline.stream))
        return 13;

    bool loaded = false;

    if (kind == Stream::endless)
    {
        const auto endless = claphost::endlessStream();
        loaded = plugin.state->load (plugin.plugin, &endless);
    }
    else
    {
        const std::uint64_t piece = kind == Stream::oneByteReads ? 1 : (kind == Stream::sevenByteReads ? 7 : 0);
        const long long failAt = kind == Stream::failsHalfway ? static_cast<long long> (bytes.size() / 2) : -1;
        claphost::InStream stream (bytes, piece, failAt);
        loaded = plugin.state->load (plugin.plugin, &stream.stream);
    }

    const auto saved = plugin.save();
    const char result = loaded ? 'T' : 'F';
    [[maybe_unused]] auto written = ::write (fd, &result, 1);
    written = ::write (fd, saved.data(), saved.size());
    return 0;
}

struct StateCase
{
    const char* name;
    std::string bytes;
    Stream stream;
    bool taken;
    const char* gainAfter; // "3.0" when the state is refused: the baseline stays
};

void PrintTo (const StateCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::string sixDb = frame (gainState ("6.0"));
const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

StateCase cases[] = {
    { "RealStateWhole", sixDb, Stream::whole, true, "6.0" },
    { "RealStateOneByteAReadOfIt", sixDb, Stream::oneByteReads, true, "6.0" },
    { "RealStateInSevenBytePieces", sixDb, Stream::sevenByteReads, true, "6.0" },
    { "AValueBeyondTheRangeClamps", frame (gainState ("99")), Stream::whole, true, "24.0" },

    // The stream itself: it fails, ends early, is empty or never ends.
    { "StreamFailsHalfway", sixDb, Stream::failsHalfway, false, "3.0" },
    { "StreamEndsHalfway", sixDb.substr (0, sixDb.size() / 2), Stream::whole, false, "3.0" },
    { "StreamEmpty", "", Stream::whole, false, "3.0" },
    { "StreamNeverEnds", "", Stream::endless, false, "3.0" },

    // The frame: lengths that do not fit, another magic number, text instead. A length
    // beyond the bytes is cut to them (the document there is read, as by every door); one
    // that reads as negative is refused.
    { "FrameLengthTwoGigabytes", le32 (0x21324356) + le32 (0x7fffffff) + gainState ("6.0"), Stream::whole, true, "6.0" },
    { "FrameLengthMax", le32 (0x21324356) + le32 (0xffffffff) + gainState ("6.0"), Stream::whole, false, "3.0" },
    { "FrameMagicWrong", le32 (0x12345678) + sixDb.substr (4), Stream::whole, false, "3.0" },
    { "PlainXmlWithoutFrame", gainState ("6.0"), Stream::whole, false, "3.0" },
    { "RandomBytes", std::string ("\x00\xff\x13\x37\x80\x7f\x01\x02", 8), Stream::whole, false, "3.0" },

    // Documents built to hurt the reader: refused before it parses them.
    { "NestedAHundredThousandDeep",
      frame (declaration + "<PARAMS>" + repeat ("<a>", 100000) + repeat ("</a>", 100000) + "</PARAMS>"), Stream::whole, false, "3.0" },
    { "AttributeFlood", frame (declaration + "<PARAMS" + repeat (" a=\"1\"", 20000) + "/>"), Stream::whole, false, "3.0" },
    { "EntityReferenceFlood", frame (declaration + "<PARAMS><PARAM id=\"gain\" value=\"" + repeat ("&amp;", 100000) + "\"/></PARAMS>"),
      Stream::whole, false, "3.0" },
    { "UnknownEntity", frame (declaration + "<PARAMS><PARAM id=\"gain\" value=\"&bomb;\"/></PARAMS>"), Stream::whole, false, "3.0" },
    { "NotUtf8", frame (declaration + "<PARAMS><PARAM id=\"gain\" value=\"6\xff\"/></PARAMS>"), Stream::whole, false, "3.0" },
    { "FiveMegabytesOfSpaces", frame (declaration + "<PARAMS>" + std::string (5 << 20, ' ') + "</PARAMS>"), Stream::whole, false, "3.0" },
};

class ClapLoadState : public testing::TestWithParam<StateCase>
{
};

TEST_P (ClapLoadState, TakenOrRefusedAndThePluginStaysWhole)
{
    const auto& c = GetParam();
    const auto outcome = childhost::run ([&] (int fd) { return hostOneCase (fd, c.bytes, c.stream); });

    ASSERT_EQ (outcome.problem, "");
    ASSERT_FALSE (outcome.report.empty()) << "no report from the host";
    EXPECT_EQ (outcome.report[0] == 'T', c.taken);
    EXPECT_EQ (gainIn (outcome.report.substr (1)), c.gainAfter);
}

INSTANTIATE_TEST_SUITE_P (Cases, ClapLoadState, testing::ValuesIn (cases), [] (const auto& testInfo) { return std::string (testInfo.param.name); });

} // namespace
