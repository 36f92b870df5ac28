#include "core/TextFormat.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <array>

using namespace TextFormat;

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
    // Not hex ("G0", blanks): a value the caller must reject.
    const Case cases[] = {{"00", 0x00},
                          {"A9", 0xA9},
                          {"a9", 0xA9},
                          {"fF", 0xFF},
                          {"7f", 0x7F},
                          {"G0", -144},
                          {"  ", (32 - 48) * 16 + (32 - 48)}};
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
