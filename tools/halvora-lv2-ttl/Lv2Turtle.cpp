#include "Lv2Turtle.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace halvora::turtle
{

std::string stringLiteral (std::string_view text)
{
    std::string literal = "\"";

    for (const char c : text)
    {
        switch (c)
        {
            case '"': literal += "\\\""; break;
            case '\\': literal += "\\\\"; break;
            case '\n': literal += "\\n"; break;
            case '\r': literal += "\\r"; break;
            case '\t': literal += "\\t"; break;
            default: literal += c; break;
        }
    }

    return literal + "\"";
}

std::string decimal (float value)
{
    if (! std::isfinite (value))
        throw std::invalid_argument ("a decimal must be finite");

    // A range that starts at -0 means 0; hosts show it without the sign.
    if (value == 0.0f)
        value = 0.0f;

    char digits[64];
    const auto [end, error] = std::to_chars (digits, digits + sizeof (digits), value, std::chars_format::fixed);

    if (error != std::errc())
        throw std::invalid_argument ("a decimal too long to write");

    std::string text (digits, end);

    if (text.find ('.') == std::string::npos)
        text += ".0";

    return text;
}

std::string integer (std::int64_t value)
{
    char digits[32];
    const auto [end, error] = std::to_chars (digits, digits + sizeof (digits), value);

    if (error != std::errc())
        throw std::invalid_argument ("an integer too long to write");

    return std::string (digits, end);
}

std::string link (std::string_view uri)
{
    if (uri.empty())
        throw std::invalid_argument ("an empty link would name the document itself");

    if (uri.find_first_of ("<>\"{}|^`\\ \t\n\r") != std::string_view::npos)
        throw std::invalid_argument ("a link holds a character Turtle does not allow in one: " + std::string (uri));

    return "<" + std::string (uri) + ">";
}

std::string prefixLines (std::initializer_list<Prefix> prefixes)
{
    std::size_t widest = 0;

    for (const auto& prefix : prefixes)
        widest = std::max (widest, std::string_view (prefix.name).size());

    std::string lines;

    for (const auto& prefix : prefixes)
    {
        const std::string name = std::string (prefix.name) + ":";
        lines += "@prefix " + name + std::string (widest + 2 - name.size(), ' ') + link (prefix.uri) + " .\n";
    }

    return lines + "\n";
}

} // namespace halvora::turtle
