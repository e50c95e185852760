#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace halvora::SavedState
{
//==============================================================================
/** A saved state read into Halvora's own schema: the name of the root element and, for
    every parameter the state names, the text of its value, in the order the state names
    them. Nothing else of the document survives the reading, so nothing else can reach
    the value-tree state or the next save.
*/
struct StateDocument
{
    struct Entry
    {
        size_t parameterIndex;            // into halvora::parameterIDs
        std::optional<std::string> value; // references decoded; none when there is no "value"
    };

    std::string rootName;
    std::vector<Entry> entries; // at most one per parameter
};

/** Reads the XML text of a saved state: the root element, whatever its name, and its
    "PARAM" children whose "id" is a parameter ID. Other elements and attributes are read
    past and dropped.

    Takes well-formed XML as Halvora and a text editor write it: a byte-order mark, the
    XML declaration, comments and character data sections holding any text, a document
    type without declarations, the predefined and numeric references. Refuses a parameter
    named twice, an attribute given twice on one element, processing instructions, and
    what nobody writes: nesting deeper than 64, more than 64 attributes on one element or
    more than 64 references in one attribute value. The text ends at `size` or at its
    first zero byte and must be well-formed UTF-8.

    One pass, no recursion; memory beyond the text is at most the values kept.
    Returns nullptr with `document` filled, or what is wrong with the text.
*/
const char* readStateText (const char* text, size_t size, StateDocument& document);
} // namespace halvora::SavedState
