// The tokenizer under the state reader and the text check: the pieces of a document, where
// each starts, and the two dialects' differences (Halvora's own reading, and what JUCE's
// reader takes).

#include "state/XmlTokenizer.h"

#include <gtest/gtest.h>

#include <string>

using halvora::XmlToken;
using halvora::XmlTokenizer;

namespace
{
/** The tokens as one line: kind, then name, value and references where a kind has them;
    the problem in place of the rest when there is one.
*/
std::string tokensOf (const std::string& text, XmlTokenizer::Dialect dialect)
{
    XmlTokenizer tokens (text.data(), text.size(), dialect);
    std::string line;
    XmlToken token;

    for (int guard = 0; guard < 100; ++guard)
    {
        if (! line.empty())
            line += ' ';

        if (auto* problem = tokens.next (token))
            return line + "! " + problem;

        switch (token.kind)
        {
            case XmlToken::Kind::declaration: line += "decl"; break;
            case XmlToken::Kind::documentType: line += "doctype"; break;
            case XmlToken::Kind::comment: line += "comment"; break;
            case XmlToken::Kind::characterData: line += "cdata[" + std::string (token.value) + "]"; break;
            case XmlToken::Kind::startTag: line += "<" + std::string (token.name); break;
            case XmlToken::Kind::attribute:
                line += std::string (token.name) + "=" + std::string (token.value) + "/" + std::to_string (token.references);
                break;
            case XmlToken::Kind::tagEnd: line += ">"; break;
            case XmlToken::Kind::emptyTagEnd: line += "/>"; break;
            case XmlToken::Kind::endTag: line += "</" + std::string (token.name); break;
            case XmlToken::Kind::text: line += std::string (token.blank ? "blank" : "text") + "/" + std::to_string (token.references); break;
            case XmlToken::Kind::end: return line + "end";
        }
    }

    return line + "...";
}

struct TokenCase
{
    const char* what;
    std::string text;
    const char* strict;           // the tokens Halvora's own reading gives
    const char* asFrameworkReads; // the tokens of JUCE's reader's tolerance
};

void PrintTo (const TokenCase& c, std::ostream* os) { *os << c.what; }

const TokenCase tokenCases[] {
    { "state", "<?xml version=\"1.0\"?><P><Q id=\"g\" value='&lt;6'/></P>", "decl <P > <Q id=g/0 value=&lt;6/1 /> </P end",
      "decl <P > <Q id=g/0 value=&lt;6/1 /> </P end" },
    { "byteOrderMark", "\xef\xbb\xbf<a/>", "<a /> end", "text/0 <a /> end" },
    { "commentsAndDocumentType", "<!-- x --><!DOCTYPE a><a><!--y--></a><!-- z -->", "comment doctype <a > comment </a comment end",
      "comment doctype <a > comment </a comment end" },
    { "textAndCdata", "<a> x &amp;<![CDATA[<b>]]> </a>", "<a > text/1 cdata[<b>] blank/0 </a end", "<a > text/1 cdata[<b>] blank/0 </a end" },
    { "spaceAfterTagOpen", "<a>< b/></a>", "<a > ! a tag without a name", "<a > <b /> </a end" },
    { "nameStartsWithDigit", "<a><1b/></a>", "<a > ! a tag without a name", "<a > <1b /> </a end" },
    { "attributesWithoutSpace", "<a x='1'y='2'/>", "<a x=1/0 ! an unexpected character in a tag", "<a x=1/0 y=2/0 /> end" },
    { "endTagRunsToItsBracket", "<a></a x>", "<a > ! an unterminated end tag", "<a > </a x end" },
    { "entityInAnyCase", "<a>&AMP;</a>", "<a > ! an entity reference other than the predefined and numeric ones", "<a > text/1 </a end" },
    { "processingInstructionInside", "<a><?p?></a>", "<a > ! a declaration or processing instruction inside an element",
      "<a > ! a declaration or processing instruction inside an element" },
    { "documentTypeAfterRoot", "<a/><!DOCTYPE a>", "<a /> ! a tag without a name", "<a /> ! a tag without a name" },
    { "textOutside", "x<a/>y", "text/0 <a /> text/0 end", "text/0 <a /> text/0 end" },
    { "neverClosed", "<a><b>", "<a > <b > ! an element that is never closed", "<a > <b > ! an element that is never closed" },
    { "unquotedValue", "<a x=1/>", "<a ! an attribute value without quotes", "<a ! an attribute value without quotes" },
    { "unterminatedComment", "<a><!-- x</a>", "<a > ! an unterminated comment", "<a > ! an unterminated comment" },
    { "otherDeclaration", "<?pi?><a/>", "! a processing instruction", "decl <a /> end" },
};
} // namespace

class XmlTokenizerCases : public testing::TestWithParam<TokenCase>
{
};

TEST_P (XmlTokenizerCases, ReadsEachDialectsTokens)
{
    const auto& c = GetParam();
    EXPECT_EQ (tokensOf (c.text, XmlTokenizer::Dialect::strict), c.strict);
    EXPECT_EQ (tokensOf (c.text, XmlTokenizer::Dialect::asFrameworkReads), c.asFrameworkReads);
}

INSTANTIATE_TEST_SUITE_P (Table, XmlTokenizerCases, testing::ValuesIn (tokenCases),
                          [] (const testing::TestParamInfo<TokenCase>& testInfo) { return std::string (testInfo.param.what); });

TEST (XmlTokenizer, TokensKnowWhereTheyStandAndHowDeepTheyAre)
{
    const std::string text = "<a>\n  <b x=\"1\"/>\n</a>";
    XmlTokenizer tokens (text.data(), text.size(), XmlTokenizer::Dialect::strict);
    XmlToken token;

    struct Expected
    {
        XmlToken::Kind kind;
        size_t position;
        const char* markup;
        int depth;
    };

    const Expected expected[] {
        { XmlToken::Kind::startTag, 0, "<a", 0 },
        { XmlToken::Kind::tagEnd, 2, ">", 1 },
        { XmlToken::Kind::text, 3, "\n  ", 1 },
        { XmlToken::Kind::startTag, 6, "<b", 1 },
        { XmlToken::Kind::attribute, 9, "x=\"1\"", 1 },
        { XmlToken::Kind::emptyTagEnd, 14, "/>", 1 },
        { XmlToken::Kind::text, 16, "\n", 1 },
        { XmlToken::Kind::endTag, 17, "</a>", 0 },
        { XmlToken::Kind::end, 21, "", 0 },
    };

    for (const auto& e : expected)
    {
        ASSERT_EQ (tokens.next (token), nullptr);
        EXPECT_EQ (token.kind, e.kind) << e.markup;
        EXPECT_EQ (token.position, e.position) << e.markup;
        EXPECT_EQ (token.markup, e.markup);
        EXPECT_EQ (tokens.depth(), e.depth) << e.markup;
    }
}

TEST (XmlTokenizer, DecodesTheReferencesOfAValue)
{
    EXPECT_EQ (halvora::decodeAttributeValue ("a&lt;b&amp;&#65;&#x20AC;&quot;&apos;&gt;"), "a<b&A\xe2\x82\xac\"'>");
    EXPECT_EQ (halvora::decodeAttributeValue ("plain"), "plain");
}
