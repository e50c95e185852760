#include "XmlTokenizer.h"

namespace halvora
{

using XmlLexis::isNameByte;
using XmlLexis::isSpace;

XmlTokenizer::XmlTokenizer (const char* textToRead, size_t length, Dialect dialectToRead) noexcept
    : Cursor (textToRead, length),
      dialect (dialectToRead)
{
}

const char* XmlTokenizer::next (XmlToken& token) noexcept
{
    if (failure != nullptr)
        return failure;

    token = {};
    failure = read (token);

    if (failure == nullptr)
        token.markup = { text + token.position, pos - token.position };

    return failure;
}

const char* XmlTokenizer::read (XmlToken& token) noexcept
{
    if (! started)
    {
        started = true;

        if (auto* problem = readDeclaration (token))
            return problem;

        if (token.kind == XmlToken::Kind::declaration)
            return nullptr;
    }

    if (inTag)
        return readInTag (token);

    return openElements > 0 ? readContent (token) : readOutside (token);
}

const char* XmlTokenizer::readDeclaration (XmlToken& token) noexcept
{
    if (dialect == Dialect::strict)
    {
        // Text editors put a byte-order mark in front of UTF-8.
        if (startsWith ("\xef\xbb\xbf"))
            pos += 3;

        skipSpace();
        token.position = pos;

        if (startsWith ("<?xml") && (isSpace (at (pos + 5)) || at (pos + 5) == '?'))
        {
            if (! skipPast ("?>"))
                return "an unterminated XML declaration";

            token.kind = XmlToken::Kind::declaration;
        }

        return nullptr;
    }

    skipSpace();
    token.position = pos;

    if (startsWith ("<?"))
    {
        if (! skipMarkup (2, "?>"))
            return "an unterminated XML declaration";

        token.kind = XmlToken::Kind::declaration;
    }

    return nullptr;
}

/** Outside every element: space, comments, before the root a document type, and the root's
    start tag; anything else comes back as text, which its reader refuses.
*/
const char* XmlTokenizer::readOutside (XmlToken& token) noexcept
{
    skipSpace();
    token.position = pos;

    if (atEnd())
    {
        token.kind = XmlToken::Kind::end;
        return nullptr;
    }

    if (startsWith ("<!--"))
    {
        token.kind = XmlToken::Kind::comment;
        return skipMarkup (4, "-->") ? nullptr : "an unterminated comment";
    }

    if (! rootSeen && startsWith ("<!DOCTYPE"))
    {
        token.kind = XmlToken::Kind::documentType;
        return skipDocumentType();
    }

    if (startsWith ("<?"))
        return "a processing instruction";

    if (peek() == '<')
        return readStartTag (token);

    while (! atEnd() && text[pos] != '<')
        ++pos;

    token.kind = XmlToken::Kind::text;
    token.value = { text + token.position, pos - token.position };
    return nullptr;
}

/** One piece of an open element's content: text, a comment, a character data section, a
    child element's start tag or the element's end tag.
*/
const char* XmlTokenizer::readContent (XmlToken& token) noexcept
{
    token.position = pos;

    if (atEnd())
        return "an element that is never closed";

    if (text[pos] != '<')
        return readText (token);

    if (startsWith ("<!--"))
    {
        token.kind = XmlToken::Kind::comment;
        return skipMarkup (4, "-->") ? nullptr : "an unterminated comment";
    }

    if (startsWith ("<![CDATA["))
    {
        if (! skipMarkup (9, "]]>"))
            return "an unterminated character data section";

        token.kind = XmlToken::Kind::characterData;
        token.value = { text + token.position + 9, pos - 3 - (token.position + 9) };
        return nullptr;
    }

    if (startsWith ("</"))
        return readEndTag (token);

    if (startsWith ("<!") || startsWith ("<?"))
        return "a declaration or processing instruction inside an element";

    return readStartTag (token);
}

const char* XmlTokenizer::readText (XmlToken& token) noexcept
{
    token.kind = XmlToken::Kind::text;
    token.blank = true;

    while (! atEnd() && text[pos] != '<')
    {
        if (text[pos] == '&')
        {
            token.blank = false;
            ++token.references;

            if (auto* problem = readReference (dialect == Dialect::asFrameworkReads, nullptr))
                return problem;
        }
        else
        {
            token.blank = token.blank && isSpace (text[pos]);
            ++pos;
        }
    }

    token.value = { text + token.position, pos - token.position };
    return nullptr;
}

std::string_view XmlTokenizer::readName (bool asStrict) noexcept
{
    const auto start = pos;

    if (atEnd() || ! isNameByte (text[pos]))
        return {};

    if (asStrict && (text[pos] == '-' || text[pos] == '.' || (text[pos] >= '0' && text[pos] <= '9')))
        return {};

    while (! atEnd() && isNameByte (text[pos]))
        ++pos;

    return { text + start, pos - start };
}

/** At the '<' of a start tag: the element's name. */
const char* XmlTokenizer::readStartTag (XmlToken& token) noexcept
{
    token.position = pos;
    ++pos;

    if (dialect == Dialect::asFrameworkReads)
        skipSpace();

    token.kind = XmlToken::Kind::startTag;
    token.name = readName (dialect == Dialect::strict);

    if (token.name.empty())
        return "a tag without a name";

    inTag = true;
    return nullptr;
}

/** Inside a start tag: an attribute, or the tag's end. */
const char* XmlTokenizer::readInTag (XmlToken& token) noexcept
{
    const auto spaced = skipSpace();
    token.position = pos;

    if (atEnd())
        return "an unterminated tag";

    if (startsWith ("/>") || text[pos] == '>')
    {
        const auto selfClosing = text[pos] == '/';
        pos += selfClosing ? 2 : 1;
        inTag = false;
        token.kind = selfClosing ? XmlToken::Kind::emptyTagEnd : XmlToken::Kind::tagEnd;

        if (! selfClosing)
            ++openElements;
        else if (openElements == 0)
            rootSeen = true;

        return nullptr;
    }

    if (dialect == Dialect::strict && ! spaced)
        return "an unexpected character in a tag";

    token.kind = XmlToken::Kind::attribute;
    token.name = readName (dialect == Dialect::strict);

    if (token.name.empty())
        return "an unexpected character in a tag";

    skipSpace();

    if (peek() != '=')
        return "an attribute without a value";

    ++pos;
    skipSpace();
    return readAttributeValue (token);
}

const char* XmlTokenizer::readAttributeValue (XmlToken& token) noexcept
{
    const auto quote = peek();

    if (quote != '"' && quote != '\'')
        return "an attribute value without quotes";

    const auto start = ++pos;

    while (! atEnd() && text[pos] != quote)
    {
        if (text[pos] != '&')
        {
            ++pos;
            continue;
        }

        ++token.references;

        if (auto* problem = readReference (dialect == Dialect::asFrameworkReads, nullptr))
            return problem;
    }

    if (atEnd())
        return "an unterminated attribute value";

    token.value = { text + start, pos - start };
    ++pos;
    return nullptr;
}

/** At "</": the name, then '>' (in the framework's reading, whatever runs to the '>'). */
const char* XmlTokenizer::readEndTag (XmlToken& token) noexcept
{
    pos += 2;
    token.kind = XmlToken::Kind::endTag;

    if (dialect == Dialect::strict)
    {
        token.name = readName (true);
        skipSpace();

        if (peek() != '>')
            return "an unterminated end tag";

        ++pos;
    }
    else
    {
        const auto nameStart = pos;

        if (! skipPast (">"))
            return "an unterminated end tag";

        token.name = { text + nameStart, pos - 1 - nameStart };
    }

    if (--openElements == 0)
        rootSeen = true;

    return nullptr;
}

//==============================================================================
namespace
{
    class ValueDecoder : private XmlLexis::Cursor
    {
    public:
        explicit ValueDecoder (std::string_view value) noexcept
            : Cursor (value.data(), value.size())
        {
        }

        std::string decode()
        {
            std::string decoded;

            while (! atEnd())
            {
                if (text[pos] != '&')
                    decoded += text[pos++];
                else if (readReference (false, &decoded) != nullptr)
                    break;
            }

            return decoded;
        }
    };
} // namespace

std::string decodeAttributeValue (std::string_view value)
{
    return ValueDecoder (value).decode();
}

} // namespace halvora
