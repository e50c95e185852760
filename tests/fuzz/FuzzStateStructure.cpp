// Saved states built from a valid one, a few bytes steering each choice: parameters named
// or left out, in any order, with values from plain numbers to the edges of what a double
// holds, and what hand edits and other programs add (a byte-order mark, comments,
// character data, foreign elements and attributes, binary-block attributes, parameters and
// attributes given twice). Each is framed and restored. Every parameter stays valid; a
// refused state changes nothing; an accepted one keeps its parameters through a save and
// a restore into another instance.

#include "FuzzProcessor.h"
#include "state/StateFraming.h"
#include "HalvoraVocabulary.h"
#include "state/SavedState.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
/** The fuzzer's bytes as a stream of choices; zeros once they run out. */
class Choices
{
public:
    Choices (const std::uint8_t* bytes, size_t count)
        : data (bytes),
          size (count)
    {
    }

    template <size_t N>
    const char* pick (const char* const (&options)[N]) { return options[next() % N]; }
    std::uint8_t next() noexcept { return pos < size ? data[pos++] : 0; }

private:
    const std::uint8_t* data;
    size_t size;
    size_t pos = 0;
};

const char* const values[] { "0", "6", "-3.5", "100", "-1e308", "1e99999999999", "NaN", "inf", "loud", "&#54;", " 3",
                             "2.", "-0", ".5", "24.0000001", "1e-400", "9.999", "0.0001", "" };
const char* const attributes[] { " base64:a=\"-1.\"", " base64:b=\"4294967295.AAAA\"", " base64:value=\"2000000000.\"",
                                 " note='x &amp; y'", " value=\"1\"", " id=\"gain\"", " a=\"1\" a=\"2\"" };
const char* const pieces[] { "<!-- & <x> -->", "<![CDATA[ < & ]]>", "text &amp; more", "<OTHER a=\"1\"><PARAM id=\"gain\" value=\"9\"/></OTHER>",
                             "<?pi x?>", "&bogus;", "<PARAM value=\"3\"/>", "<PARAM id=\"mystery\" value=\"1\"/>", "\n  " };
const char* const roots[] { "PARAMS", "STATE", "P", "base64:x" };

std::string makeDocument (Choices& in)
{
    std::string text;

    if (in.next() & 1)
        text += "\xef\xbb\xbf";

    if (in.next() & 1)
        text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

    const std::string root = in.pick (roots);
    text += "<" + root;

    if ((in.next() & 3) == 0)
        text += in.pick (attributes);

    text += ">";

    for (auto count = in.next() % 16; count > 0; --count)
    {
        if ((in.next() & 3) == 0)
        {
            text += in.pick (pieces);
            continue;
        }

        text += "<PARAM id=\"";
        text += halvora::parameterIDs[in.next() % halvora::parameterIDs.size()];
        text += "\"";

        if ((in.next() & 7) != 0)
            text += std::string (" value=\"") + in.pick (values) + "\"";

        if ((in.next() & 7) == 0)
            text += in.pick (attributes);

        text += "/>";
    }

    text += "</" + root + ">";

    if ((in.next() & 7) == 0)
        text += in.pick (pieces);

    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    Choices choices (data, size);
    const auto block = *halvora::StateFraming::frame (makeDocument (choices));

    auto& p = fuzzProcessor();
    const auto before = parameterValues (p);
    const auto accepted = HalvoraAudioProcessor::isReadableState (block.getData(), static_cast<int> (block.getSize()));

    p.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
    checkEveryParameterIsValid (p);

    if (! accepted && parameterValues (p) != before)
        std::abort();

    if (accepted)
        checkStateSurvivesASaveAndRestore (p);

    return 0;
}
