#include "XmlTextCheck.h"
#include "Utf8.h"
#include "XmlTokenizer.h"

#include <array>

namespace
{
using halvora::XmlToken;
using halvora::XmlTokenizer;

/** What holds everywhere, whatever the structure around it: past the root element too,
    since where the reader's view of the structure differs from the tokenizer's it may read
    there. The reader loops for ever on a processing instruction followed by text, and only
    the declaration is ours; and on a malformed character reference it can step past the
    end of the text.
*/
class WholeTextCheck : private XmlLexis::Cursor
{
public:
    WholeTextCheck (const char* textToCheck, size_t start, size_t length) noexcept
        : Cursor (textToCheck, length)
    {
        pos = start;
    }

    const char* check() noexcept
    {
        while (pos < end)
        {
            if (text[pos] == '<' && pos + 1 < end && text[pos + 1] == '?')
                return "a processing instruction after the XML declaration";

            if (text[pos] != '&')
                ++pos;
            else if (auto* problem = readReference (true, nullptr))
                return problem;
        }

        return nullptr;
    }
};

/** The limits on top of the tokens, up to the end of the root element, where the reader
    stops: the open elements' child counts, the current element's attributes and the names
    seen.
*/
class XmlTextScanner
{
public:
    XmlTextScanner (const char* textToScan, size_t length) noexcept
        : text (textToScan),
          size (length),
          tokens (textToScan, length, XmlTokenizer::Dialect::asFrameworkReads)
    {
    }

    const char* scan() noexcept
    {
        XmlToken token;

        if (auto* problem = tokens.next (token))
            return problem;

        const auto isDeclaration = token.kind == XmlToken::Kind::declaration;

        if (auto* problem = WholeTextCheck (text, token.position + (isDeclaration ? token.markup.size() : 0), size).check())
            return problem;

        for (;;)
        {
            if (auto* problem = take (token))
                return problem;

            if (rootClosed)
                return nullptr;

            if (auto* problem = tokens.next (token))
                return problem;
        }
    }

private:
    const char* text;
    size_t size;
    XmlTokenizer tokens;
    bool rootClosed = false;
    int names = 0;                                            // elements and attributes so far
    int attributes = 0;                                       // on the element being opened
    std::array<int, XmlTextLimits::maxDepth + 1> children {}; // per open element

    const char* take (const XmlToken& token) noexcept
    {
        switch (token.kind)
        {
            case XmlToken::Kind::end: return "no root element";
            case XmlToken::Kind::text:
                if (tokens.depth() == 0)
                    return "no root element";

                return token.blank ? nullptr : countChild();

            case XmlToken::Kind::characterData: return countChild();
            case XmlToken::Kind::startTag: return openElement();
            case XmlToken::Kind::attribute: return takeAttribute (token);

            case XmlToken::Kind::tagEnd:
                children[static_cast<size_t> (tokens.depth())] = 0;
                return nullptr;

            case XmlToken::Kind::emptyTagEnd:
            case XmlToken::Kind::endTag:
                rootClosed = tokens.depth() == 0;
                return nullptr;

            default: return nullptr; // declaration, document type, comments
        }
    }

    const char* countChild() noexcept
    {
        const auto depth = static_cast<size_t> (tokens.depth());

        if (depth > 0 && ++children[depth] > XmlTextLimits::maxChildrenPerElement)
            return "more than 4096 children in one element";

        return nullptr;
    }

    const char* countName() noexcept
    {
        if (++names > XmlTextLimits::maxNamesPerDocument)
            return "more than 8192 elements and attributes";

        return nullptr;
    }

    const char* openElement() noexcept
    {
        if (tokens.depth() >= XmlTextLimits::maxDepth)
            return "elements nested more than 64 deep";

        attributes = 0;

        if (auto* problem = countChild())
            return problem;

        return countName();
    }

    const char* takeAttribute (const XmlToken& token) noexcept
    {
        if (++attributes > XmlTextLimits::maxAttributesPerElement)
            return "more than 64 attributes on one element";

        if (auto* problem = countName())
            return problem;

        if (token.references > XmlTextLimits::maxReferencesPerAttribute)
            return "more than 64 entity references in one attribute value";

        return nullptr;
    }
};
} // namespace

const char* findXmlTextProblem (const char* text, size_t size) noexcept
{
    if (text == nullptr)
        return "no text";

    if (! isWellFormedUtf8 (text, size))
        return "not well-formed UTF-8";

    const auto length = strnlen (text, size);
    return XmlTextScanner (text, length).scan();
}
