#include "XmlTextCheck.h"
#include "Utf8.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace
{
bool isSpace (char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/** The ASCII characters JUCE's reader takes as part of a tag or attribute name. Names
    with other characters are refused: the reader's idea of which of them are letters
    decides where it ends a name, and a scanner that guessed differently would see
    another structure than the reader does.
*/
bool isNameByte (char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || c == '_' || c == '-' || c == ':' || c == '.';
}

int hexDigitValue (char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/** One forward pass over the text, tracking only what the limits need: the open
    elements' child counts, the current element's attributes and the names seen.
*/
class XmlTextScanner
{
public:
    XmlTextScanner (const char* textToScan, size_t length) noexcept
        : text (textToScan),
          end (length)
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
    const char* text;
    size_t end;
    size_t pos = 0;
    int depth = 0;                                            // elements open now
    int names = 0;                                            // elements and attributes so far
    std::array<int, XmlTextLimits::maxDepth + 1> children {}; // per open element

    bool atEnd() const noexcept { return pos >= end; }
    char peek() const noexcept { return atEnd() ? '\0' : text[pos]; }

    bool startsWith (const char* prefix) const noexcept
    {
        const auto n = std::strlen (prefix);
        return end - pos >= n && std::memcmp (text + pos, prefix, n) == 0;
    }

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

    void skipSpace() noexcept
    {
        while (! atEnd() && isSpace (text[pos]))
            ++pos;
    }

    /** Moves past an opening of `openingLength` characters, then past the terminator
        that follows it, searching only after the opening as the reader does ("<!-->"
        opens a comment, it does not close one). False if there is no terminator.
    */
    bool skipMarkup (size_t openingLength, const char* terminator) noexcept
    {
        pos += openingLength;
        return skipPast (terminator);
    }

    /** Moves past the next occurrence of the terminator; false if there is none. */
    bool skipPast (const char* terminator) noexcept
    {
        const auto n = std::strlen (terminator);

        for (; end - pos >= n; ++pos)
        {
            if (std::memcmp (text + pos, terminator, n) == 0)
            {
                pos += n;
                return true;
            }
        }

        pos = end;
        return false;
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

    const char* skipDocumentType() noexcept
    {
        // A property list's is one line naming its public identifier; anything with
        // declarations in it is no document of ours.
        for (pos += 9; ! atEnd(); ++pos)
        {
            if (text[pos] == '>')
            {
                ++pos;
                return nullptr;
            }

            if (text[pos] == '<' || text[pos] == '[')
                return "declarations inside the document type";
        }

        return "an unterminated document type";
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

        ++pos;
        const auto hex = peek() == 'x' || peek() == 'X';

        if (hex)
            ++pos;

        std::uint32_t codePoint = 0;
        int digits = 0;

        for (; ! atEnd() && text[pos] != ';'; ++pos, ++digits)
        {
            const auto value = hex ? hexDigitValue (text[pos]) : (text[pos] >= '0' && text[pos] <= '9' ? text[pos] - '0' : -1);

            if (value < 0 || digits >= 8)
                return "a malformed character reference";

            codePoint = codePoint * (hex ? 16u : 10u) + static_cast<std::uint32_t> (value);
        }

        if (atEnd() || digits == 0 || codePoint == 0 || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return "a malformed character reference";

        ++pos;
        return nullptr;
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
