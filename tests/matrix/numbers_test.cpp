#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "matrix/Numbers.h"

using namespace tesora;

TEST(Numbers, ClampToByteTruncatesAndClamps) {
    EXPECT_EQ(ClampToByte(3.99), 3);
    EXPECT_EQ(ClampToByte(255.0), 255);
    EXPECT_EQ(ClampToByte(255.9), 255);
    EXPECT_EQ(ClampToByte(127.9), 127);
    EXPECT_EQ(ClampToByte(-3), 0);
    EXPECT_EQ(ClampToByte(300), 255);
    EXPECT_EQ(ClampToByte(std::nan("")), 0);
    EXPECT_EQ(ClampToByte(std::numeric_limits<double>::infinity()), 255);
    EXPECT_EQ(AbsValue(-0.0), 0.0);
    EXPECT_EQ(AbsValue(-2.5), 2.5);
}

TEST(Numbers, FormatGLikePrintf) {
    EXPECT_EQ(FormatG(0.0), "0");
    EXPECT_EQ(FormatG(0.37), "0.37");
    EXPECT_EQ(FormatG(1.0), "1");
    EXPECT_EQ(FormatG(100.744537353515625), "100.745");
    EXPECT_EQ(FormatG(0.00152587890625), "0.00152588");
    EXPECT_EQ(FormatG(1.234567), "1.23457");
    EXPECT_EQ(FormatG(1234567.0), "1.23457e+06");
    EXPECT_EQ(FormatG(0.00001), "1e-05");
    EXPECT_EQ(FormatD(8), "8");
}

// Qt sets the process locale from the environment; numbers must not follow it.
TEST(Numbers, IndependentOfTheProcessLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "German locale not installed (the install step generates it)";
    EXPECT_EQ(FormatG(0.25), "0.25");
    EXPECT_EQ(ParseNumber("2,5"), 2.0);
    EXPECT_EQ(ParseNumber("2.5"), 2.5);
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(Numbers, ParseNumberIsStrtodInTheCLocale) {
    EXPECT_EQ(ParseNumber("abc"), 0.0);
    EXPECT_EQ(ParseNumber(""), 0.0);
    EXPECT_EQ(ParseNumber(" 3"), 3.0);
    EXPECT_EQ(ParseNumber("1e-3"), 0.001);
    EXPECT_EQ(ParseNumber("5 Pixel"), 5.0);
    EXPECT_EQ(ParseNumber("-2"), -2.0);
    EXPECT_EQ(ParseNumber("1e999"), std::numeric_limits<double>::infinity());
}
