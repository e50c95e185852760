#include "StateDocument.h"
#include "HalvoraVocabulary.h"
#include "Utf8.h"
#include "XmlLexis.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace SavedState
{

namespace
{
    using XmlLexis::isNameByte;
    using XmlLexis::isSpace;

    constexpr int maxDepth = 64;
    constexpr int maxAttributesPerElement = 64;
    constexpr int maxReferencesPerAttribute = 64;

    void appendUtf8 (std::string& out, std::uint32_t codePoint)
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

    std::optional<size_t> findParameterIndex (std::string_view id) noexcept
    {
        for (size_t i = 0; i < halvora::parameterIDs.size(); ++i)
            if (id == halvora::parameterIDs[i])
                return i;

        return std::nullopt;
    }

    //==============================================================================
    class StateTextReader : private XmlLexis::Cursor
    {
    public:
        StateTextReader (const char* textToRead, size_t length, StateDocument& documentToFill)
            : Cursor (textToRead, length),
              document (documentToFill)
        {
        }

        const char* read()
        {
            // Text editors put a byte-order mark in front of UTF-8.
            if (startsWith ("\xef\xbb\xbf"))
                pos += 3;

            skipSpace();

            if (startsWith ("<?xml") && (isSpace (at (pos + 5)) || at (pos + 5) == '?'))
                if (! skipPast ("?>"))
                    return "an unterminated XML declaration";

            if (auto* problem = skipMiscellany (true))
                return problem;

            if (! startsWith ("<"))
                return "no root element";

            if (auto* problem = readStartTag())
                return problem;

            while (depth > 0)
                if (auto* problem = readContent())
                    return problem;

            if (auto* problem = skipMiscellany (false))
                return problem;

            return atEnd() ? nullptr : "more than one root element, or text after it";
        }

    private:
        StateDocument& document;
        int depth = 0;
        std::array<std::string_view, maxDepth> openNames {};
        std::array<bool, halvora::parameterIDs.size()> named {};

        /** Space and comments around the root element, and before it a document type. */
        const char* skipMiscellany (bool beforeRoot) noexcept
        {
            for (;;)
            {
                skipSpace();

                if (startsWith ("<!--"))
                {
                    if (! skipMarkup (4, "-->"))
                        return "an unterminated comment";
                }
                else if (beforeRoot && startsWith ("<!DOCTYPE"))
                {
                    if (auto* problem = skipDocumentType())
                        return problem;
                }
                else if (startsWith ("<?"))
                {
                    return "a processing instruction";
                }
                else
                {
                    return nullptr;
                }
            }
        }

        std::string_view readName() noexcept
        {
            const auto start = pos;

            if (atEnd() || ! isNameByte (text[pos]) || text[pos] == '-' || text[pos] == '.'
                || (text[pos] >= '0' && text[pos] <= '9'))
                return {};

            while (! atEnd() && isNameByte (text[pos]))
                ++pos;

            return { text + start, pos - start };
        }

        /** At the '&' of a reference: the five predefined entities and numeric character
            references, appended to `decoded` when that is given.
        */
        const char* readReference (std::string* decoded) noexcept
        {
            ++pos;

            static constexpr std::pair<const char*, char> entities[] {
                { "amp;", '&' }, { "lt;", '<' }, { "gt;", '>' }, { "quot;", '"' }, { "apos;", '\'' }
            };

            for (const auto& [name, character] : entities)
            {
                if (startsWith (name))
                {
                    pos += std::strlen (name);

                    if (decoded != nullptr)
                        *decoded += character;

                    return nullptr;
                }
            }

            if (at (pos) != '#')
                return "an entity reference other than the predefined and numeric ones";

            std::uint32_t codePoint = 0;

            if (auto* problem = readCharacterReference (codePoint))
                return problem;

            if (decoded != nullptr)
                appendUtf8 (*decoded, codePoint);

            return nullptr;
        }

        /** At the opening quote of an attribute value; `decoded` may be null. */
        const char* readAttributeValue (std::string* decoded)
        {
            const auto quote = at (pos);

            if (quote != '"' && quote != '\'')
                return "an attribute value without quotes";

            int references = 0;

            for (++pos; ! atEnd() && text[pos] != quote;)
            {
                if (text[pos] == '&')
                {
                    if (++references > maxReferencesPerAttribute)
                        return "more than 64 references in one attribute value";

                    if (auto* problem = readReference (decoded))
                        return problem;
                }
                else
                {
                    if (decoded != nullptr)
                        *decoded += text[pos];

                    ++pos;
                }
            }

            if (atEnd())
                return "an unterminated attribute value";

            ++pos;
            return nullptr;
        }

        /** At the '<' of a start tag: the element with its attributes, then either its end
            ("/>") or the start of its content. A parameter's element is taken into the
            document here.
        */
        const char* readStartTag()
        {
            ++pos;
            const auto name = readName();

            if (name.empty())
                return "a tag without a name";

            if (depth >= maxDepth)
                return "elements nested more than 64 deep";

            if (depth == 0)
                document.rootName.assign (name);

            const auto isParameter = depth == 1 && name == "PARAM";
            std::array<std::string_view, maxAttributesPerElement> attributeNames {};
            int attributes = 0;
            std::optional<std::string> id, value;

            for (;;)
            {
                const auto spaced = skipSpace();

                if (atEnd())
                    return "an unterminated tag";

                const auto selfClosing = startsWith ("/>");

                if (selfClosing || text[pos] == '>')
                {
                    pos += selfClosing ? 2 : 1;

                    if (! selfClosing)
                        openNames[static_cast<size_t> (depth++)] = name;

                    return isParameter ? takeParameter (id, value) : nullptr;
                }

                if (! spaced)
                    return "an unexpected character in a tag";

                const auto attributeName = readName();

                if (attributeName.empty())
                    return "an unexpected character in a tag";

                for (int i = 0; i < attributes; ++i)
                    if (attributeNames[static_cast<size_t> (i)] == attributeName)
                        return "an attribute given twice";

                if (attributes == maxAttributesPerElement)
                    return "more than 64 attributes on one element";

                attributeNames[static_cast<size_t> (attributes++)] = attributeName;

                skipSpace();

                if (at (pos) != '=')
                    return "an attribute without a value";

                ++pos;
                skipSpace();

                std::string* decoded = nullptr;

                if (isParameter && attributeName == "id")
                    decoded = &id.emplace();
                else if (isParameter && attributeName == "value")
                    decoded = &value.emplace();

                if (auto* problem = readAttributeValue (decoded))
                    return problem;
            }
        }

        const char* takeParameter (const std::optional<std::string>& id, std::optional<std::string>& value)
        {
            if (! id)
                return nullptr;

            const auto index = findParameterIndex (*id);

            if (! index)
                return nullptr; // names no parameter of ours

            if (named[*index])
                return "a parameter given twice";

            named[*index] = true;
            document.entries.push_back ({ *index, std::move (value) });
            return nullptr;
        }

        /** One piece of an open element's content: text, a comment, a character data
            section, a child element or the end tag.
        */
        const char* readContent()
        {
            if (atEnd())
                return "an element that is never closed";

            if (text[pos] != '<')
            {
                while (! atEnd() && text[pos] != '<')
                {
                    if (text[pos] != '&')
                        ++pos;
                    else if (auto* problem = readReference (nullptr))
                        return problem;
                }

                return nullptr;
            }

            if (startsWith ("<!--"))
                return skipMarkup (4, "-->") ? nullptr : "an unterminated comment";

            if (startsWith ("<![CDATA["))
                return skipMarkup (9, "]]>") ? nullptr : "an unterminated character data section";

            if (startsWith ("</"))
            {
                pos += 2;

                if (readName() != openNames[static_cast<size_t> (depth - 1)])
                    return "an end tag that does not match its start tag";

                skipSpace();

                if (at (pos) != '>')
                    return "an unterminated end tag";

                ++pos;
                --depth;
                return nullptr;
            }

            if (startsWith ("<!") || startsWith ("<?"))
                return "a declaration or processing instruction inside an element";

            return readStartTag();
        }
    };
} // namespace

const char* readStateText (const char* text, size_t size, StateDocument& document)
{
    if (text == nullptr)
        return "no text";

    const auto length = strnlen (text, size);

    if (! isWellFormedUtf8 (text, length))
        return "not well-formed UTF-8";

    document = {};
    return StateTextReader (text, length, document).read();
}

} // namespace SavedState
