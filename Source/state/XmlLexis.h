#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

/** The small pieces of XML's lexical rules under Halvora's tokenizer: what separates, what
    may name an element or attribute, references, and a cursor that walks the text once from
    start to end.
*/
namespace XmlLexis
{
inline bool isSpace (char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/** The ASCII characters a name may hold. Names outside ASCII are refused: nothing Halvora
    reads has them, and JUCE's reader has its own idea of which of them are letters.
*/
inline bool isNameByte (char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
        || c == ':' || c == '.';
}

inline int hexDigitValue (char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/** Appends a code point (one a character reference may name) as UTF-8. */
inline void appendUtf8 (std::string& out, std::uint32_t codePoint)
{
    if (codePoint < 0x80)
    {
        out += static_cast<char> (codePoint);
    }
    else if (codePoint < 0x800)
    {
        out += static_cast<char> (0xc0 | (codePoint >> 6));
        out += static_cast<char> (0x80 | (codePoint & 0x3f));
    }
    else if (codePoint < 0x10000)
    {
        out += static_cast<char> (0xe0 | (codePoint >> 12));
        out += static_cast<char> (0x80 | ((codePoint >> 6) & 0x3f));
        out += static_cast<char> (0x80 | (codePoint & 0x3f));
    }
    else
    {
        out += static_cast<char> (0xf0 | (codePoint >> 18));
        out += static_cast<char> (0x80 | ((codePoint >> 12) & 0x3f));
        out += static_cast<char> (0x80 | ((codePoint >> 6) & 0x3f));
        out += static_cast<char> (0x80 | (codePoint & 0x3f));
    }
}

//==============================================================================
/** A position in text that is read once, forwards; never past `end`. */
class Cursor
{
public:
    Cursor (const char* textToRead, size_t length) noexcept
        : text (textToRead),
          end (length)
    {
    }

protected:
    const char* text;
    size_t end;
    size_t pos = 0;

    bool atEnd() const noexcept { return pos >= end; }
    char at (size_t index) const noexcept { return index < end ? text[index] : '\0'; }
    char peek() const noexcept { return at (pos); }

    bool startsWith (const char* prefix) const noexcept
    {
        const auto n = std::strlen (prefix);
        return end - pos >= n && std::memcmp (text + pos, prefix, n) == 0;
    }

    /** True if there was any space. */
    bool skipSpace() noexcept
    {
        const auto start = pos;

        while (! atEnd() && isSpace (text[pos]))
            ++pos;

        return pos > start;
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

    /** Moves past an opening of `openingLength` characters, then past the terminator that
        follows it, searching only after the opening ("<!-->" opens a comment, it does not
        close one). False if there is no terminator.
    */
    bool skipMarkup (size_t openingLength, const char* terminator) noexcept
    {
        pos += openingLength;
        return skipPast (terminator);
    }

    /** At "<!DOCTYPE": a name and perhaps an identifier, as a property list's names its
        public one. Declarations inside could define entities, and nothing of ours has any.
    */
    const char* skipDocumentType() noexcept
    {
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

    /** At the '#' of a numeric character reference: reads it, up to and past its ';'. The
        code point must be one a reference may name: not zero, not a surrogate, within
        Unicode.
    */
    const char* readCharacterReference (std::uint32_t& codePoint) noexcept
    {
        ++pos;
        const auto hex = peek() == 'x' || peek() == 'X';

        if (hex)
            ++pos;

        codePoint = 0;
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

    /** At the '&' of a reference: one of the five predefined entities (their names in any
        case when `anyCase`, as JUCE's reader takes them) or a numeric character reference,
        up to and past its ';'. Appended to `decoded` when that is given.
    */
    const char* readReference (bool anyCase, std::string* decoded)
    {
        ++pos;

        static constexpr std::pair<const char*, char> entities[] {
            { "amp;", '&' }, { "lt;", '<' }, { "gt;", '>' }, { "quot;", '"' }, { "apos;", '\'' }
        };

        for (const auto& [name, character] : entities)
        {
            if (anyCase ? startsWithIgnoringCase (name) : startsWith (name))
            {
                pos += std::strlen (name);

                if (decoded != nullptr)
                    *decoded += character;

                return nullptr;
            }
        }

        if (peek() != '#')
            return "an entity reference other than the predefined and numeric ones";

        std::uint32_t codePoint = 0;

        if (auto* problem = readCharacterReference (codePoint))
            return problem;

        if (decoded != nullptr)
            appendUtf8 (*decoded, codePoint);

        return nullptr;
    }
};
} // namespace XmlLexis
