// Numbers in saved states and presets are read as the framework reads them, except
// that an exponent too long for its reader (which overflows an int on it) reads as the
// infinity or zero it stands for.

#include "state/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST (NumberText, ReadsOrdinaryNumbersExactlyAsTheFrameworkDoes)
{
    for (const auto* text : { "6", " -2.5e1", "0.800000011920929", "1e308", "-1e-320", "12abc", "abc", "", ".5", "5.",
                              "+7", "1e0000000000005", "1e999999999", "0e999", "e99999999999", "1.2.3", "1e+", "-0" })
    {
        const juce::String s (text);
        const auto expected = s.getDoubleValue();
        const auto actual = NumberText::readDouble (s);
        EXPECT_TRUE (actual == expected || (std::isnan (actual) && std::isnan (expected))) << text;
    }

    EXPECT_TRUE (std::isnan (NumberText::readDouble ("nan")));
    EXPECT_EQ (NumberText::readDouble ("-inf"), -std::numeric_limits<double>::infinity());
}

TEST (NumberText, AnExponentOfTenOrMoreDigitsIsInfiniteOrZero)
{
    const auto infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ (NumberText::readDouble ("1e9999999999"), infinity);
    EXPECT_EQ (NumberText::readDouble ("-3.5E+12345678901234"), -infinity);
    EXPECT_EQ (NumberText::readDouble ("7e-99999999999"), 0.0);
    EXPECT_TRUE (std::signbit (NumberText::readDouble ("-7e-99999999999")));
    EXPECT_EQ (NumberText::readDouble ("0.80000001192e3080011920"), infinity);
}
