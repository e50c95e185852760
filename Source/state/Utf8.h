#pragma once

#include <cstddef>
#include <cstdint>

/** True if the bytes, up to `size` or the first zero byte, are well-formed UTF-8:
    proper continuation bytes, no overlong forms, no surrogates, nothing past U+10FFFF.
    JUCE's own reader trusts its input to be well-formed and can run past the end of text
    that is not, so anything from outside is checked with this first.
*/
inline bool isWellFormedUtf8 (const char* text, size_t size) noexcept
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*> (text);
    size_t i = 0;

    while (i < size && bytes[i] != 0)
    {
        const auto lead = bytes[i];

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        size_t extra = 0;
        std::uint32_t codePoint = 0;

        if (lead >= 0xc2 && lead <= 0xdf)
        {
            extra = 1;
            codePoint = lead & 0x1fu;
        }
        else if (lead >= 0xe0 && lead <= 0xef)
        {
            extra = 2;
            codePoint = lead & 0x0fu;
        }
        else if (lead >= 0xf0 && lead <= 0xf4)
        {
            extra = 3;
            codePoint = lead & 0x07u;
        }
        else
            return false;

        if (size - i <= extra)
            return false;

        for (size_t k = 1; k <= extra; ++k)
        {
            const auto next = bytes[i + k];

            if ((next & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (next & 0x3fu);
        }

        if ((extra == 2 && codePoint < 0x800) || (extra == 3 && codePoint < 0x10000)
            || (codePoint >= 0xd800 && codePoint <= 0xdfff) || codePoint > 0x10ffff)
            return false;

        i += extra + 1;
    }

    return true;
}
