#include "SizedBase64.h"

#include <limits>

namespace
{
/** A character's six bits, or -1 for a character outside the alphabet. */
int sixBitsOf (char c) noexcept
{
    if (c == '.')
        return 0;
    if (c >= 'A' && c <= 'Z')
        return 1 + (c - 'A');
    if (c >= 'a' && c <= 'z')
        return 27 + (c - 'a');
    if (c >= '0' && c <= '9')
        return 53 + (c - '0');
    if (c == '+')
        return 63;

    return -1;
}

bool isSpace (char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

/** Characters needed for a block of `size` bytes: six bits each, the last one padded. */
std::uint64_t charactersFor (std::uint64_t size) noexcept
{
    return (size * 8 + 5) / 6;
}
} // namespace

namespace SizedBase64
{
std::optional<std::vector<std::uint8_t>> decode (std::string_view text)
{
    const auto dot = text.find ('.');

    // A size of more than 18 digits is no block any text could hold.
    if (dot == std::string_view::npos || dot == 0 || dot > 18)
        return std::nullopt;

    std::uint64_t size = 0;

    for (const auto c : text.substr (0, dot))
    {
        if (c < '0' || c > '9')
            return std::nullopt;

        size = size * 10 + static_cast<std::uint64_t> (c - '0');
    }

    const auto encoded = text.substr (dot + 1);
    std::uint64_t numCharacters = 0;

    for (const auto c : encoded)
    {
        if (isSpace (c))
            continue;

        if (sixBitsOf (c) < 0)
            return std::nullopt;

        ++numCharacters;
    }

    if (size > static_cast<std::uint64_t> (std::numeric_limits<int>::max()) || charactersFor (size) != numCharacters)
        return std::nullopt;

    std::vector<std::uint8_t> block (static_cast<std::size_t> (size), 0);
    std::uint64_t bit = 0;

    for (const auto c : encoded)
    {
        if (isSpace (c))
            continue;

        const auto bits = static_cast<unsigned> (sixBitsOf (c));

        // The six bits land at the stream's next six positions; those past the end pad the
        // last character and are dropped.
        for (unsigned i = 0; i < 6 && bit < size * 8; ++i, ++bit)
            if ((bits >> i) & 1u)
                block[static_cast<std::size_t> (bit / 8)] |= static_cast<std::uint8_t> (1u << (bit % 8));
    }

    return block;
}
} // namespace SizedBase64
