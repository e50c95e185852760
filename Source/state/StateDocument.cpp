#include "StateDocument.h"
#include "HalvoraVocabulary.h"
#include "Utf8.h"
#include "XmlTokenizer.h"

#include <array>
#include <cstring>
#include <string_view>

namespace halvora::SavedState
{

namespace
{
    constexpr int maxDepth = 64;
    constexpr int maxAttributesPerElement = 64;
    constexpr int maxReferencesPerAttribute = 64;

    std::optional<size_t> findParameterIndex (std::string_view id) noexcept
    {
        for (size_t i = 0; i < parameterIDs.size(); ++i)
            if (id == parameterIDs[i])
                return i;

        return std::nullopt;
    }

    //==============================================================================
    /** The schema on top of the tokens: the root's name, the PARAM children's ids and
        values, and what well-formed XML asks of the document as a whole.
    */
    class StateTextReader
    {
    public:
        StateTextReader (const char* text, size_t length, StateDocument& documentToFill) noexcept
            : tokens (text, length, XmlTokenizer::Dialect::strict),
              document (documentToFill)
        {
        }

        const char* read()
        {
            XmlToken token;

            for (;;)
            {
                if (auto* problem = tokens.next (token))
                    return problem;

                if (token.kind == XmlToken::Kind::end)
                    return rootOpened ? nullptr : "no root element";

                if (auto* problem = take (token))
                    return problem;
            }
        }

    private:
        XmlTokenizer tokens;
        StateDocument& document;
        bool rootOpened = false;
        std::array<std::string_view, maxDepth> openNames {};
        std::array<bool, parameterIDs.size()> named {};

        // The start tag being read.
        std::string_view elementName;
        bool isParameter = false;
        std::array<std::string_view, maxAttributesPerElement> attributeNames {};
        int attributes = 0;
        std::optional<std::string> id, value;

        const char* take (const XmlToken& token)
        {
            switch (token.kind)
            {
                case XmlToken::Kind::startTag: return openElement (token.name);
                case XmlToken::Kind::attribute: return takeAttribute (token);

                case XmlToken::Kind::tagEnd:
                    openNames[static_cast<size_t> (tokens.depth() - 1)] = elementName;
                    return isParameter ? takeParameter() : nullptr;

                case XmlToken::Kind::emptyTagEnd: return isParameter ? takeParameter() : nullptr;

                case XmlToken::Kind::endTag:
                    return token.name == openNames[static_cast<size_t> (tokens.depth())] ? nullptr
                                                                                         : "an end tag that does not match its start tag";

                case XmlToken::Kind::text:
                    if (tokens.depth() > 0)
                        return nullptr;

                    return rootOpened ? "more than one root element, or text after it" : "no root element";

                default: return nullptr; // declaration, document type, comments, character data
            }
        }

        const char* openElement (std::string_view name)
        {
            const auto depth = tokens.depth();

            if (depth == 0 && rootOpened)
                return "more than one root element, or text after it";

            if (depth >= maxDepth)
                return "elements nested more than 64 deep";

            if (depth == 0)
            {
                rootOpened = true;
                document.rootName.assign (name);
            }

            elementName = name;
            isParameter = depth == 1 && name == "PARAM";
            attributes = 0;
            id.reset();
            value.reset();
            return nullptr;
        }

        const char* takeAttribute (const XmlToken& token)
        {
            for (int i = 0; i < attributes; ++i)
                if (attributeNames[static_cast<size_t> (i)] == token.name)
                    return "an attribute given twice";

            if (attributes == maxAttributesPerElement)
                return "more than 64 attributes on one element";

            attributeNames[static_cast<size_t> (attributes++)] = token.name;

            if (token.references > maxReferencesPerAttribute)
                return "more than 64 references in one attribute value";

            if (isParameter && token.name == "id")
                id = decodeAttributeValue (token.value);
            else if (isParameter && token.name == "value")
                value = decodeAttributeValue (token.value);

            return nullptr;
        }

        const char* takeParameter()
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

} // namespace halvora::SavedState
