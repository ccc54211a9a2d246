#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale>
#include <random>

#include "models/FloatFormat.h"

namespace {

// Runs the body under a decimal-comma locale when one is installed.
class DecimalComma : public ::testing::Test {
protected:
    void SetUp() override
    {
        old_ = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
            GTEST_SKIP() << "no decimal-comma locale installed";
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 0.5);
        ASSERT_STREQ(buf, "0,5");
    }
    void TearDown() override { std::setlocale(LC_ALL, old_.c_str()); }
    std::string old_;
};

TEST_F(DecimalComma, ObjNumbers)
{
    EXPECT_EQ(FormatObjFloat(0.5f), "0.500000");
    EXPECT_EQ(FormatObjFloat(1234.56789f), "1234.568000");
    EXPECT_EQ(FormatObjFloat(-0.0001234567f), "-0.000123");
    EXPECT_EQ(FormatObjFloat(0.12345649f), "0.123456");
    EXPECT_EQ(FormatObjFloat(12345678.0f), "1.234568E7");
    EXPECT_EQ(FormatObjFloat(-12345678.0f), "-1.234568E7");
    EXPECT_EQ(FormatObjFloat(100000000.0f), "1E8");
    EXPECT_EQ(FormatObjFloat(1234567.0f), "1234567.000000");
    EXPECT_EQ(FormatObjFloat(0.0f), "0.000000");
}

TEST_F(DecimalComma, ListingNumbers)
{
    EXPECT_EQ(FormatListingFloat(1.5f), "1.500000");
    EXPECT_EQ(FormatListingFloat(123.456789f), "123.457000");
    EXPECT_EQ(FormatListingFloat(0.0001234567f), "0.000123");
    EXPECT_EQ(FormatListingFloat(1234567.0f), "1.23457E6");
    EXPECT_EQ(FormatListingFloat(10000000.0f), "1E7");
    EXPECT_EQ(FormatListingFloat(-0.0f), "0.000000");
    EXPECT_EQ(FormatListingFloat(-0.0000001f), "0.000000");
    EXPECT_EQ(FormatListingFloat(123456.0f), "123456.000000");
}

TEST(FloatFormat, SpecialValues)
{
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(FormatObjFloat(inf), "INF");
    EXPECT_EQ(FormatObjFloat(-inf), "-INF");
    EXPECT_EQ(FormatObjFloat(std::nanf("")), "NAN");
    EXPECT_EQ(FormatListingFloat(-inf), "-INF");
    EXPECT_EQ(FormatObjFloat(std::numeric_limits<float>::max()), "3.402823E38");
    EXPECT_EQ(FormatObjFloat(std::numeric_limits<float>::denorm_min()), "0.000000");
}

TEST(FloatFormat, RoundingCarriesIntoMoreDigits)
{
    // Carry at the last kept decimal and into a new integer digit.
    EXPECT_EQ(FormatObjFloat(0.9999996f), "1.000000");
    EXPECT_EQ(FormatObjFloat(99999.996f), "99999.990000"); // the float is 99999.9921875
    EXPECT_EQ(FormatListingFloat(999999.5f), "1E6");
    EXPECT_EQ(FormatObjFloat(9999999.0f), "9999999.000000");
    // Exponent form whose rounding carries (99999995 is a float: 99999992 or 100000000).
    EXPECT_EQ(FormatObjFloat(99999999.0f), "1E8");
    EXPECT_EQ(FormatObjFloat(1234567.5f), "1234568.000000"); // exact tie: away from zero
    EXPECT_EQ(FormatObjFloat(-1234566.5f), "-1234567.000000");
}

// Compares against an exactly rounded reference (round half away from zero on the exact binary value).
TEST(FloatFormat, AgreesWithExactReferenceOnRandomValues)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> expo(-8, 7.5);
    std::uniform_int_distribution<int> sign(0, 1);
    for (int i = 0; i < 200000; ++i) {
        float v = static_cast<float>(std::pow(10.0, expo(rng)) * (sign(rng) ? -1 : 1));
        const double a = std::fabs(static_cast<double>(v));
        int d = 0;
        while (d < 8 && a >= std::pow(10.0, d))
            ++d;
        if (d > 7)
            continue;
        const int k = d == 0 ? 6 : std::min(6, 7 - d);
        // Exact decimal expansion through printf with many digits, then rounding by hand.
        char buf[128];
        std::snprintf(buf, sizeof buf, "%.40f", a);
        std::string s(buf);
        for (char& c : s)
            if (c == ',')
                c = '.';
        const size_t dot = s.find('.');
        std::string digits = s.substr(0, dot) + s.substr(dot + 1, static_cast<size_t>(k));
        const bool up = s[dot + 1 + static_cast<size_t>(k)] >= '5';
        unsigned long long r = std::stoull(digits);
        if (up)
            ++r;
        unsigned long long p = 1;
        for (int j = 0; j < k; ++j)
            p *= 10;
        if (r / p >= 10000000ull)
            continue; // exponent form, covered above
        std::string e = (v < 0 && r != 0) ? "-" : "";
        e += std::to_string(r / p) + ".";
        if (k > 0) {
            const std::string frac = std::to_string(r % p);
            e += std::string(static_cast<size_t>(k) - frac.size(), '0') + frac;
        }
        e += std::string(static_cast<size_t>(6 - k), '0');
        ASSERT_EQ(FormatObjFloat(v), e) << "value " << v;
    }
}

} // namespace
