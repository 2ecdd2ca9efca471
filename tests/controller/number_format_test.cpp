#include <gtest/gtest.h>

#include "controller/number_format.h"

namespace {

struct FormatCase {
    double value;
    int precision;
    int digits;
    const char* separator;
    const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.value << " (" << c.precision << ", " << c.digits << ") '" << c.separator << "'";
}

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, Formats)
{
    const FormatCase& c = GetParam();
    EXPECT_EQ(torv::FormatNumber(c.value, c.precision, c.digits, c.separator), c.expected)
        << c.value << " (" << c.precision << ", " << c.digits << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatNumberTest,
    ::testing::Values(
        // Whole numbers of programme steps (2, 0) and parameters (3, 0).
        FormatCase{0, 2, 0, ",", "0"}, FormatCase{99, 2, 0, ",", "99"}, FormatCase{120, 2, 0, ",", "1,2E2"},
        FormatCase{100, 2, 0, ",", "1E2"}, FormatCase{255, 2, 0, ",", "2,6E2"}, FormatCase{3000, 2, 0, ",", "3E3"},
        FormatCase{-120, 2, 0, ",", "-1,2E2"}, FormatCase{255, 3, 0, ",", "255"},
        FormatCase{65535, 5, 0, ",", "65535"},
        // Tenths (3, 1).
        FormatCase{-0.5, 3, 1, ",", "-0,5"}, FormatCase{10, 3, 1, ",", "10,0"}, FormatCase{0.1, 3, 1, ",", "0,1"},
        FormatCase{-10, 3, 1, ",", "-10,0"}, FormatCase{0, 3, 1, ",", "0,0"},
        // Rounding that carries into a new digit keeps the decimals.
        FormatCase{9.96, 2, 1, ",", "10,0"}, FormatCase{99.96, 3, 1, ",", "100,0"},
        // Tiny values round to zero without a minus sign.
        FormatCase{0.04, 3, 1, ",", "0,0"}, FormatCase{-0.04, 3, 1, ",", "0,0"},
        // Temperatures (4, 1): four significant digits win over the decimal.
        FormatCase{25, 4, 1, ",", "25,0"}, FormatCase{-50, 4, 1, ",", "-50,0"},
        FormatCase{1234.6, 4, 1, ",", "1235,0"}, FormatCase{6551.6, 4, 1, ",", "6552,0"},
        FormatCase{123.45, 4, 1, ",", "123,5"}, FormatCase{12346, 4, 1, ",", "1,235E4"},
        // A half at the rounding place goes to the even neighbour.
        FormatCase{0.25, 3, 1, ",", "0,2"}, FormatCase{0.75, 3, 1, ",", "0,8"},
        // Another locale's separator.
        FormatCase{1234.6, 4, 1, ".", "1235.0"}, FormatCase{120, 2, 0, ".", "1.2E2"},
        FormatCase{-2.5, 3, 1, ".", "-2.5"}, FormatCase{-2.5, 3, 1, "\xD9\xAB", "-2\xD9\xAB" "5"}));

struct ParseCase {
    const char* text;
    const char* separator;
    std::optional<double> expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << "\" '" << c.separator << "'"; }

class ParseNumberTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTest, Parses)
{
    const ParseCase& c = GetParam();
    const std::optional<double> got = torv::ParseNumber(c.text, c.separator);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << '"' << c.text << '"';
    if (got) {
        EXPECT_DOUBLE_EQ(*got, *c.expected) << '"' << c.text << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseNumberTest,
    ::testing::Values(ParseCase{"1,5", ",", 1.5}, ParseCase{"-2,5", ",", -2.5}, ParseCase{"10,0", ",", 10.0},
                      ParseCase{"20", ",", 20.0}, ParseCase{"1,2E2", ",", 120.0}, ParseCase{"1E2", ",", 100.0},
                      ParseCase{" 7 ", ",", 7.0}, ParseCase{"+3", ",", 3.0}, ParseCase{",5", ",", 0.5},
                      ParseCase{"1.5", ".", 1.5}, ParseCase{"-0.5", ".", -0.5},
                      // Text in another locale's form is not a number here.
                      ParseCase{"1.5", ",", std::nullopt}, ParseCase{"1,5", ".", std::nullopt},
                      ParseCase{"", ",", std::nullopt}, ParseCase{"-", ",", std::nullopt},
                      ParseCase{"abc", ",", std::nullopt}, ParseCase{"1E", ",", std::nullopt},
                      ParseCase{"12x", ",", std::nullopt}, ParseCase{"1,2,3", ",", std::nullopt}));

} // namespace
