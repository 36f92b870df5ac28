#include "core/TextFormat.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <array>

using namespace TextFormat;

TEST(TextFormat, NumbersCarryABlankWhereTheSignWouldStand)
{
    EXPECT_EQ(numberText(5), " 5");
    EXPECT_EQ(numberText(0), " 0");
    EXPECT_EQ(numberText(230), " 230");
    EXPECT_EQ(numberText(-5), "-5");
    EXPECT_EQ(u"Camera "_s + numberText(5), "Camera  5");
}

TEST(TextFormat, HexIsUpperCaseWithTwoDigitsPerByte)
{
    EXPECT_EQ(hexByte(0x00), "00");
    EXPECT_EQ(hexByte(0x0A), "0A");
    EXPECT_EQ(hexByte(0xF0), "F0");
    const std::array<std::uint8_t, 3> bytes{0x01, 0xF0, 0x40};
    EXPECT_EQ(hexBytes(bytes), "01F040");
    EXPECT_EQ(hexBytes({}), "");
    EXPECT_EQ(hexNumber(0x0381), "381");
    EXPECT_EQ(hexNumber(-1), "FFFFFFFF");
}

TEST(TextFormat, MonitorHexPairsReadOnlyUpperCaseDigits)
{
    struct Case {
        const char *pair;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {"00", 0x00}, {"A9", 0xA9}, {"FF", 0xFF},
        {"7F", 0x7F}, {"C0", 0xC0}, {"a9", 0x7F}, // lower case is not accepted
        {"Af", 0x7F}, {"  ", 0x7F}, {"G0", 0x7F},
        {"0G", 0x7F}, {"-1", 0x7F}, {":0", 0x30}, // codes between "9" and "A" still count as digits
    };
    for (const Case &c : cases) {
        const QString pair = QString::fromLatin1(c.pair);
        EXPECT_EQ(monitorHexPairToByte(pair[0], pair[1]), c.expected) << c.pair;
    }
}

TEST(TextFormat, DomeHexPairsFoldLowerCaseAndLeaveRangeChecksToTheCaller)
{
    struct Case {
        const char *pair;
        int expected;
    };
    const Case cases[] = {
        {"00", 0x00},
        {"A9", 0xA9},
        {"a9", 0xA9},
        {"fF", 0xFF},
        {"7f", 0x7F},
        {"G0", -144}, // not hex: a value the caller must reject
        {"  ", (32 - 48) * 16 + (32 - 48)},
    };
    for (const Case &c : cases) {
        const QString pair = QString::fromLatin1(c.pair);
        EXPECT_EQ(domeHexPairToByte(pair[0], pair[1]), c.expected) << c.pair;
    }
}

TEST(TextFormat, CsvFieldsAreQuotedOnlyWhereTheyMustBe)
{
    const std::pair<const char *, const char *> cases[] = {
        {"HDOME", "HDOME"},
        {"", ""},
        {"A,B", "\"A,B\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {" spaced ", " spaced "},
    };
    for (const auto &[field, written] : cases)
        EXPECT_EQ(csvField(QString::fromLatin1(field)), QString::fromLatin1(written)) << field;
}
