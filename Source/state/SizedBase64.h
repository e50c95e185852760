#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

/** Reading the framework's size-prefixed base64 ("123.AbC..."), in which the first LV2
    bundle saved its state and the standalone app its filter state: the decimal size of the
    block, a dot, then six bits a character, least significant first, from the alphabet
    ".A-Za-z0-9+".

    The text comes from a session file or a host, so the size is believed only as plain
    digits that match the characters after the dot exactly; whitespace between them (a
    wrapped or hand-edited line) is skipped and anything else refuses the text. Memory and
    time are never more than the text accounts for.
*/
namespace SizedBase64
{
/** The decoded block, or nothing if the text is not such an encoding. */
std::optional<std::vector<std::uint8_t>> decode (std::string_view text);
} // namespace SizedBase64
