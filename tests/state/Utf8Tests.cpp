#include "state/Utf8.h"

#include <gtest/gtest.h>

#include <string>

class WellFormedUtf8 : public testing::TestWithParam<std::pair<std::string, bool>>
{
};

TEST_P (WellFormedUtf8, AcceptsOnlyProperSequences)
{
    const auto& [text, expected] = GetParam();
    EXPECT_EQ (isWellFormedUtf8 (text.data(), text.size()), expected);
}

const std::pair<std::string, bool> utf8Cases[] {
    std::make_pair (std::string ("<PARAMS/>"), true),
    std::make_pair (std::string ("F\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xa4"), true), // 2, 3 and 4 bytes
    std::make_pair (std::string ("ok\0\xff", 4), true),                             // stops at a zero byte
    std::make_pair (std::string ("\xcc\xcc"), false),                               // no continuation byte
    std::make_pair (std::string ("\xc0\x80"), false),                               // overlong
    std::make_pair (std::string ("\xe0\x80\x80"), false),                           // overlong
    std::make_pair (std::string ("\xed\xa0\x80"), false),                           // surrogate
    std::make_pair (std::string ("\xf4\x90\x80\x80"), false),                       // past U+10FFFF
    std::make_pair (std::string ("\xe2\x82"), false),                               // cut short
    std::make_pair (std::string ("\xfe\xff"), false),
};

INSTANTIATE_TEST_SUITE_P (Table, WellFormedUtf8, testing::ValuesIn (utf8Cases));
