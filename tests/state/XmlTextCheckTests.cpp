// The check that runs on saved-state and preset text before the framework's reader sees it:
// what it takes (and the reader then parses) and what it refuses, at each limit and one past.
// In the hostile binary, under its address-space limit, like the restores of the same texts.

#include "helpers/HostileDocuments.h"
#include "state/XmlTextCheck.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <string>

namespace
{

using testutil::attributes;
using testutil::declaration;
using testutil::nest;
using testutil::presetDocument;
using testutil::repeat;

struct TextCase
{
    const char* name;
    std::string text;
    bool accepted;
};

void PrintTo (const TextCase& c, std::ostream* os) { *os << c.name; }

} // namespace

class XmlTextCheckCases : public testing::TestWithParam<TextCase>
{
};

TEST_P (XmlTextCheckCases, AcceptsWhatTheReaderTakesSafelyAndRefusesTheRest)
{
    const auto& c = GetParam();
    const auto* problem = findXmlTextProblem (c.text.data(), c.text.size());
    EXPECT_EQ (problem == nullptr, c.accepted) << (problem != nullptr ? problem : "accepted");

    // Whatever the check accepts, the framework's reader parses without trouble.
    if (c.accepted)
    {
        EXPECT_NE (juce::parseXML (juce::String::fromUTF8 (c.text.data(), static_cast<int> (c.text.size()))), nullptr);
    }
}

const TextCase textCases[] {
    { "SavedState", declaration + "<PARAMS><PARAM id=\"delayMix\" value=\"0.0\"/><PARAM id=\"gain\" value=\"6\"/></PARAMS>", true },
    { "NoDeclaration", "<PARAMS/>", true },
    { "PropertyListHeader", presetDocument (""), true },
    { "CommentsCdataAndReferences", "<!-- c --><a x='&lt;&#60;&#x3c;&QUOT;'><!-- c --><![CDATA[<b>]]>&amp;&apos;</a>", true },
    { "SpaceAfterTagOpen", "<a>< b/></a>", true },
    { "TrailingTextAfterRootIsIgnored", "<a/>" + repeat ("<b>", 1000), true },
    { "UnterminatedReferenceAfterRoot", "<a/>&#x", false },
    { "NonAsciiName", "<A><R\xc9\xb2 u=\"<y>\"/></>", false },
    { "Depth64", nest ("<a>", "</a>", 64), true },
    { "Depth65", nest ("<a>", "</a>", 65), false },
    { "Attributes64", "<a" + attributes (64) + "/>", true },
    { "Attributes65", "<a" + attributes (65) + "/>", false },
    { "Children4096", "<a>" + repeat ("<b/>", 4096) + "</a>", true },
    { "Children4097", "<a>" + repeat ("<b/>", 4097) + "</a>", false },
    { "TextPiecesCountAsChildren", "<a>" + repeat ("x<![CDATA[y]]>", 2049) + "</a>", false },
    { "Names8192", "<r><a>" + repeat ("<b/>", 4095) + "</a><a>" + repeat ("<b/>", 4094) + "</a></r>", true },
    { "Names8193", "<r><a>" + repeat ("<b/>", 4095) + "</a><a>" + repeat ("<b/>", 4094) + "</a><c/></r>", false },
    { "References64", "<a x=\"" + repeat ("&amp;", 64) + "\"/>", true },
    { "References65", "<a x=\"" + repeat ("&amp;", 65) + "\"/>", false },
    { "UnknownEntity", "<a>&nbsp;</a>", false },
    { "ReferenceToZero", "<a>&#0;</a>", false },
    { "ReferenceBeyondUnicode", "<a>&#x110000;</a>", false },
    { "ReferenceToSurrogate", "<a>&#xD800;</a>", false },
    { "ReferenceWithoutDigits", "<a>&#;</a>", false },
    { "ReferenceWithLetters", "<a>&#1a;</a>", false },
    { "UnterminatedReference", "<a>&#12", false },
    { "InternalDocumentType", "<!DOCTYPE a [<!ENTITY e \"x\">]><a/>", false },
    { "ProcessingInstructionInside", "<a><?pi x?>text</a>", false },
    { "SecondDeclaration", "<?xml version=\"1.0\"?><?xml version=\"1.0\"?><a/>", false },
    { "UnquotedAttribute", "<a x=1/>", false },
    { "AttributeWithoutValue", "<a x/>", false },
    { "UnterminatedAttribute", "<a x=\"1", false },
    { "UnterminatedComment", "<a><!-- x</a>", false },
    { "CommentOpenerIsNoCloser", "<a><!--></a><b>", false },
    { "EmptyProcessingInstruction", "<?><a/>", false },
    { "UnterminatedCdata", "<a><![CDATA[x</a>", false },
    { "NeverClosed", "<a><b>", false },
    { "NoRoot", "text", false },
    { "Empty", "", false },
    { "InvalidUtf8", "<a>\xc3\x28</a>", false },
};

INSTANTIATE_TEST_SUITE_P (Table, XmlTextCheckCases, testing::ValuesIn (textCases),
                          [] (const testing::TestParamInfo<TextCase>& testInfo) { return std::string (testInfo.param.name); });

TEST (XmlTextCheck, StopsAtTheFirstZeroByteAsTheReaderDoes)
{
    const std::string text ("<a/>\0<b>", 8);
    EXPECT_EQ (findXmlTextProblem (text.data(), text.size()), nullptr);

    const std::string cut ("<a>\0</a>", 8);
    EXPECT_NE (findXmlTextProblem (cut.data(), cut.size()), nullptr);
}
