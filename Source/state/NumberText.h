#pragma once

#include <juce_core/juce_core.h>

/** Numbers read from text that came from outside: saved states, presets, command lines. */
namespace NumberText
{
/** What juce::String::getDoubleValue reads, for any text. The framework's reader adds
    up an exponent's digits in an int, which overflows (undefined behaviour) on an
    exponent of ten or more significant digits; such a number is infinite or zero, and
    that is what this returns for it. Every other text is read by the framework as before.
*/
inline double readDouble (const juce::String& text) noexcept
{
    auto p = text.getCharPointer().findEndOfWhitespace();
    const auto negative = *p == '-';

    if (*p == '-' || *p == '+')
        ++p;

    auto mantissaDigits = 0;

    for (auto seenPoint = false;; ++p)
    {
        if (p.isDigit())
            ++mantissaDigits;
        else if (*p == '.' && ! seenPoint)
            seenPoint = true;
        else
            break;
    }

    if (mantissaDigits == 0 || (*p != 'e' && *p != 'E'))
        return text.getDoubleValue();

    ++p;
    const auto negativeExponent = *p == '-';

    if (*p == '-' || *p == '+')
        ++p;

    while (*p == '0')
        ++p;

    auto exponentDigits = 0;

    for (; p.isDigit(); ++p)
        ++exponentDigits;

    if (exponentDigits < 10)
        return text.getDoubleValue();

    if (negativeExponent)
        return negative ? -0.0 : 0.0;

    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
}
}
