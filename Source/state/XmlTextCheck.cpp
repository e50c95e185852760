#include "XmlTextCheck.h"
#include "Utf8.h"
#include "XmlLexis.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace
{
using XmlLexis::isNameByte;
using XmlLexis::isSpace;

/** One forward pass over the text, tracking only what the limits need: the open
    elements' child counts, the current element's attributes and the names seen.
*/
class XmlTextScanner : private XmlLexis::Cursor
{
public:
    XmlTextScanner (const char* textToScan, size_t length) noexcept
        : Cursor (textToScan, length)
    {
    }

    const char* scan() noexcept
    {
        skipSpace();

        if (startsWith ("<?") && ! skipMarkup (2, "?>"))
            return "an unterminated XML declaration";

        if (auto* problem = checkWholeText())
            return problem;

        for (;;)
        {
            skipSpace();

            if (startsWith ("<!--"))
            {
                if (! skipMarkup (4, "-->"))
                    return "an unterminated comment";
            }
            else if (startsWith ("<!DOCTYPE"))
            {
                if (auto* problem = skipDocumentType())
                    return problem;
            }
            else
            {
                break;
            }
        }

        if (! startsWith ("<"))
            return "no root element";

        if (auto* problem = readStartTag())
            return problem;

        while (depth > 0)
            if (auto* problem = readContent())
                return problem;

        return nullptr;
    }

private:
    int depth = 0;                                            // elements open now
    int names = 0;                                            // elements and attributes so far
    std::array<int, XmlTextLimits::maxDepth + 1> children {}; // per open element

    bool startsWithIgnoringCase (const char* prefix) const noexcept
    {
        const auto n = std::strlen (prefix);

        if (end - pos < n)
            return false;

        for (size_t i = 0; i < n; ++i)
        {
            auto c = text[pos + i];

            if (c >= 'A' && c <= 'Z')
                c = static_cast<char> (c - 'A' + 'a');

            if (c != prefix[i])
                return false;
        }

        return true;
    }

    /** Checks that hold everywhere, whatever the structure around them: past the root
        element too, since where the reader's view of the structure differs from this
        scanner's it may read there. The reader loops for ever on a processing
        instruction followed by text, and only the declaration is ours; and on a
        malformed character reference it can step past the end of the text.
    */
    const char* checkWholeText() noexcept
    {
        const auto start = pos;

        for (; pos < end; ++pos)
        {
            if (text[pos] == '<' && pos + 1 < end && text[pos + 1] == '?')
                return "a processing instruction after the XML declaration";

            if (text[pos] == '&')
            {
                if (auto* problem = readReference())
                    return problem;

                --pos; // readReference leaves pos after the ';'
            }
        }

        pos = start;
        return nullptr;
    }

    const char* countChild() noexcept
    {
        if (depth > 0 && ++children[static_cast<size_t> (depth)] > XmlTextLimits::maxChildrenPerElement)
            return "more than 4096 children in one element";

        return nullptr;
    }

    const char* countName() noexcept
    {
        if (++names > XmlTextLimits::maxNamesPerDocument)
            return "more than 8192 elements and attributes";

        return nullptr;
    }

    void skipName() noexcept
    {
        while (! atEnd() && isNameByte (text[pos]))
            ++pos;
    }

    /** At the '&' of an entity reference: only the predefined and numeric ones. */
    const char* readReference() noexcept
    {
        ++pos;

        for (auto* name : { "amp;", "quot;", "apos;", "lt;", "gt;" })
        {
            if (startsWithIgnoringCase (name))
            {
                pos += std::strlen (name);
                return nullptr;
            }
        }

        if (peek() != '#')
            return "an entity reference other than the predefined and numeric ones";

        std::uint32_t codePoint = 0;
        return readCharacterReference (codePoint);
    }

    const char* readAttribute (int& attributes) noexcept
    {
        if (++attributes > XmlTextLimits::maxAttributesPerElement)
            return "more than 64 attributes on one element";

        if (auto* problem = countName())
            return problem;

        skipName();
        skipSpace();

        if (peek() != '=')
            return "an attribute without a value";

        ++pos;
        skipSpace();
        const auto quote = peek();

        if (quote != '"' && quote != '\'')
            return "an attribute value without quotes";

        int references = 0;

        for (++pos; ! atEnd() && text[pos] != quote;)
        {
            if (text[pos] != '&')
            {
                ++pos;
                continue;
            }

            if (++references > XmlTextLimits::maxReferencesPerAttribute)
                return "more than 64 entity references in one attribute value";

            if (auto* problem = readReference())
                return problem;
        }

        if (atEnd())
            return "an unterminated attribute value";

        ++pos;
        return nullptr;
    }

    /** At the '<' of a start tag: the element, its attributes, and either its end
        ("/>") or the start of its content.
    */
    const char* readStartTag() noexcept
    {
        ++pos;
        skipSpace();

        if (! isNameByte (peek()))
            return "a tag without a name";

        if (depth >= XmlTextLimits::maxDepth)
            return "elements nested more than 64 deep";

        if (auto* problem = countChild())
            return problem;

        if (auto* problem = countName())
            return problem;

        skipName();
        int attributes = 0;

        for (;;)
        {
            skipSpace();

            if (atEnd())
                return "an unterminated tag";

            if (startsWith ("/>"))
            {
                pos += 2;
                return nullptr;
            }

            if (text[pos] == '>')
            {
                ++pos;
                ++depth;
                children[static_cast<size_t> (depth)] = 0;
                return nullptr;
            }

            if (! isNameByte (text[pos]))
                return "an unexpected character in a tag";

            if (auto* problem = readAttribute (attributes))
                return problem;
        }
    }

    /** One piece of an open element's content: text, a comment, a character data
        section, a child element or the end tag.
    */
    const char* readContent() noexcept
    {
        if (atEnd())
            return "an element that is never closed";

        if (text[pos] != '<')
        {
            auto hasText = false;

            while (! atEnd() && text[pos] != '<')
            {
                if (text[pos] == '&')
                {
                    hasText = true;

                    if (auto* problem = readReference())
                        return problem;
                }
                else
                {
                    hasText = hasText || ! isSpace (text[pos]);
                    ++pos;
                }
            }

            return hasText ? countChild() : nullptr;
        }

        if (startsWith ("<!--"))
            return skipMarkup (4, "-->") ? nullptr : "an unterminated comment";

        if (startsWith ("<![CDATA["))
            return skipMarkup (9, "]]>") ? countChild() : "an unterminated character data section";

        if (startsWith ("</"))
        {
            if (! skipMarkup (2, ">"))
                return "an unterminated end tag";

            --depth;
            return nullptr;
        }

        if (startsWith ("<!") || startsWith ("<?"))
            return "a declaration or processing instruction inside an element";

        return readStartTag();
    }
};
} // namespace

const char* findXmlTextProblem (const char* text, size_t size) noexcept
{
    if (text == nullptr)
        return "no text";

    if (! isWellFormedUtf8 (text, size))
        return "not well-formed UTF-8";

    return XmlTextScanner (text, strnlen (text, size)).scan();
}
