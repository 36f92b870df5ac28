#include "QtPrinters.h"
#include "engines/dome/DomeMessages.h"
#include "engines/dome/DomeState.h"
#include "engines/dome/DomeTexts.h"

#include <gtest/gtest.h>

// However many digits are typed, the next one still extends the number (what a number
// above 255 does is the window's to show).
TEST(DomeKeypad, LeadingZerosNeverStopTheEntry)
{
    DomeState many;
    for (int i = 0; i < 255; ++i)
        DomeKeypad::addDigit(many, 0);
    DomeKeypad::addDigit(many, 5);
    EXPECT_EQ(DomeKeypad::addDigit(many, 3).text, "53");
}

TEST(DomeKeypad, SetSelectsACameraUpTo230OrArmsTheLatch)
{
    struct Case {
        int entry;
        int maxBefore;
        const char *text;
        int address;
        bool reconfigure;
        bool latch;
    };
    const Case cases[] = {
        {231, 16, "Invalid Camera Number", 1, false, false},
        {230, 16, "Camera  230", 230, true, false},
        {12, 20, "Camera  12", 12, false, false},
        {3, 16, "Camera  3", 3, false, false},
        {0, 16, "", 1, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.entry);
        DomeState s;
        s.MaxConfiguredAddress = static_cast<std::uint8_t>(c.maxBefore);
        s.EntryNumber = c.entry;
        s.EntryDigits = 3;
        const DomeKeypad::Outcome o = DomeKeypad::selectCamera(s);
        EXPECT_EQ(o.text, c.text);
        EXPECT_EQ(s.DomeAddress, c.address);
        EXPECT_EQ(o.reconfigure, c.reconfigure);
        EXPECT_EQ(o.greet, c.address != 1);
        EXPECT_EQ(s.SetLatch, c.latch);
        EXPECT_EQ(s.EntryNumber, 0);
        EXPECT_EQ(s.EntryDigits, 0);
    }
}

// The numbers between and around the named quick functions, and the numbered sequences.
TEST(DomeTexts, QuickSetMessagesAndTheirGaps)
{
    // Every fixed text, as the dome's users read it, and the gaps between them.
    // clang-format off
    const std::pair<int, const char *> table[] = {
        {0, "Toggle DirectSet Menu"}, {2, "Auto Focus and Auto Iris"}, {3, "Flip Dome"}, {4, "Run PEEL Pattern"},
        {10, "Set To Night Mode"}, {11, "Set To Day Mode"}, {12, "Set to Auto Day/Night Mode"}, {13, "WDR ON"},
        {14, "WDR OFF"}, {15, "Run Smooth Scan"}, {16, "Run Stepped Scan"}, {17, "Run Random Scan"},
        {20, "Display Dome Information"}, {48, "EIS Off"}, {49, "EIS 5Hz"}, {50, "EIS 10 Hz"},
        {51, "Run Sequence # 1"}, {57, "Run Sequence # 7"}, {66, "Run Sequence # 16"},
        {67, "Invalid QuickSet Number"}, {5, "Invalid QuickSet Number"}, {255, "Reset Dome"}};
    // clang-format on
    for (const auto &[n, text] : table)
        EXPECT_EQ(DomeTexts::quickSet(n, false), text) << n;
    EXPECT_EQ(DomeTexts::quickSet(1, false), "Display Dome Menu");
    EXPECT_EQ(DomeTexts::quickSet(1, true), "Exit Dome Menu");
    EXPECT_EQ(DomeTexts::error(0, 5), "USB Device found and enumerated");
}

TEST(DomeMessages, QueryAndAutoManBytes)
{
    EXPECT_EQ(DomeMessages::domeQuery(3, 0x94), (DomeMessages::Bytes{3, 0xF0, 0x00, 0x02, 0x01, 0x94}));
    using Units = DomeMessages::Units;
    EXPECT_EQ(DomeMessages::autoMan(1, true, true, true, Units::Degrees),
              (DomeMessages::Bytes{1, 0xF0, 0x00, 0x01, 0x01, 0xFA, 0xC1, 0xC1}));
    EXPECT_EQ(DomeMessages::autoMan(2, false, false, true, Units::Frames).back(), 0x82);
    EXPECT_EQ(DomeMessages::autoMan(2, false, true, false, Units::Counts)[6], 0x81);
}
