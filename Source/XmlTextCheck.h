#pragma once

#include "Utf8.h"

#include <cstring>

/** True if JUCE's XML reader can be given this text safely. Besides needing well-formed
    UTF-8, that reader loops for ever on a processing instruction ("<?...?>") followed by
    text inside an element, so only the XML declaration at the very start may use "<?".
    Nothing Halvora writes has any other.
*/
inline bool isSafeXmlText (const char* text, size_t size) noexcept
{
    if (! isWellFormedUtf8 (text, size))
        return false;

    const auto length = strnlen (text, size);
    size_t start = 0;

    while (start < length && (text[start] == ' ' || text[start] == '\t' || text[start] == '\r' || text[start] == '\n'))
        ++start;

    for (size_t i = start + 1; i + 1 < length; ++i)
        if (text[i] == '<' && text[i + 1] == '?')
            return false;

    return true;
}
