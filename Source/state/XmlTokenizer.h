#pragma once

#include "XmlLexis.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace halvora
{
//==============================================================================
/** One piece of a document as XmlTokenizer reads it. */
struct XmlToken
{
    enum class Kind
    {
        declaration,   // <?xml ...?> at the start
        documentType,  // <!DOCTYPE name ...> before the root, without declarations
        comment,       // <!-- ... -->
        characterData, // <![CDATA[ ... ]]>, inside an element
        startTag,      // "<name": its attributes and its end follow
        attribute,     // name="value" inside a start tag
        tagEnd,        // ">": the element's content follows
        emptyTagEnd,   // "/>": the element ends here
        endTag,        // </name>
        text,          // character data: inside an element, or outside, which is no document
        end            // the end of the text, outside every element
    };

    Kind kind = Kind::end;
    std::string_view markup; // the whole token as it stands in the text
    std::string_view name;   // start tag, attribute, end tag
    std::string_view value;  // an attribute's value between its quotes, references undecoded
    int references = 0;      // in an attribute's value or a piece of text
    bool blank = false;      // text that is only space
    size_t position = 0;     // where the token starts in the text
};

//==============================================================================
/** Splits XML text into its tokens in one forward pass: no recursion, no allocation,
    nothing kept but the number of open elements, so time and memory stay linear in the
    text whatever it holds.

    It checks what a token is made of (names, quotes, references, terminators) and where a
    token may stand (text only inside an element, a document type only before the root);
    what the document as a whole may hold (nesting, matching end tags, limits) is its
    reader's to decide. Two spellings of the same rules:

    - `strict`, Halvora's own reader: a byte-order mark and the XML declaration may open
      the text; names start with a letter, '_' or ':'; attributes are separated by space;
      an end tag is its name and '>'; entity names are matched exactly.
    - `asFrameworkReads`, what JUCE's XML reader takes: any "<?...?>" may open the text;
      a start tag may have space after its '<'; names start with any name character;
      attributes need no space between them; an end tag runs to its '>'; entity names are
      matched in any case.
*/
class XmlTokenizer : private XmlLexis::Cursor
{
public:
    enum class Dialect
    {
        strict,
        asFrameworkReads
    };

    /** The text must not hold a zero byte (its readers cut it at the first one). */
    XmlTokenizer (const char* textToRead, size_t length, Dialect) noexcept;

    /** Reads the next token into `token`; nullptr, or what is wrong with the text there.
        After the end or a problem it keeps returning the same.
    */
    const char* next (XmlToken& token) noexcept;

    /** The elements open after the last token. */
    int depth() const noexcept { return openElements; }

private:
    Dialect dialect;
    int openElements = 0;
    bool started = false, inTag = false, rootSeen = false, spacedInTag = false;
    const char* failure = nullptr;

    const char* read (XmlToken&) noexcept;
    const char* readOutside (XmlToken&) noexcept;
    const char* readContent (XmlToken&) noexcept;
    const char* readInTag (XmlToken&) noexcept;
    const char* readStartTag (XmlToken&) noexcept;
    const char* readEndTag (XmlToken&) noexcept;
    const char* readText (XmlToken&) noexcept;
    const char* readAttributeValue (XmlToken&) noexcept;
    std::string_view readName (bool asStrict) noexcept;
    const char* readDeclaration (XmlToken&) noexcept;
};

/** An attribute value the tokenizer took in the strict dialect, its references replaced by
    the characters they stand for.
*/
std::string decodeAttributeValue (std::string_view value);
} // namespace halvora
