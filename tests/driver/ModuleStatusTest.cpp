#include "driver/ModuleStatus.h"
#include "driver/DriverErrors.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace ModuleStatus;

TEST(ModuleStatus, ConnectionWordDecidesConnectedAndMode)
{
    struct Case {
        std::int32_t word;
        bool connected;
        const char *longForm;
        const char *titledShort;
        const char *bareShort;
    };
    // Descriptor revision 1.02 throughout.
    const Case cases[] = {
        {0x0080, true, "Orvo USB Module Rev 1.02- Online(App)", "Orvo USB Module Rev 1.02 APP", "1.02 APP"},
        {0x0081, true, "Orvo USB Module Rev 1.02- Online(Boot)", "Orvo USB Module Rev 1.02 BOOT", "1.02 BOOT"},
        {0x0000, true, "Orvo USB Module Rev 1.02- Online", "Orvo USB Module Rev 1.02", "1.02"},
        {0x0100, true, "Orvo USB Module Rev 1.02- Online", "Orvo USB Module Rev 1.02", "1.02"},
        {0x0381, true, "Orvo USB Module Rev 1.02- Online(PreBoot 3}", "Orvo USB Module Rev 1.02 PREBOOT  3",
         "1.02 PREBOOT  3"},
        {0x0280, true, "Orvo USB Module Rev 1.02- Online(PreApp 2}", "Orvo USB Module Rev 1.02 PREAPP  2",
         "1.02 PREAPP  2"},
        // Bits above 15 alone still make a pre-mode; its number is bits 8 to 15.
        {0x10080, true, "Orvo USB Module Rev 1.02- Online(PreApp 0}", "Orvo USB Module Rev 1.02 PREAPP  0",
         "1.02 PREAPP  0"},
        {0x0108, false, "", "", ""},
        {8, false, "", "", ""},
        {0x0082, false, "", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(isConnected(c.word), c.connected);
        if (!c.connected)
            continue;
        EXPECT_EQ(statusText(c.word, 0x01, 0x02, Form::Long), c.longForm);
        EXPECT_EQ(statusText(c.word, 0x01, 0x02, Form::TitledShort), c.titledShort);
        EXPECT_EQ(statusText(c.word, 0x01, 0x02, Form::BareShort), c.bareShort);
    }
}

TEST(ModuleStatus, RevisionMinorKeepsTwoDigits)
{
    EXPECT_EQ(revisionText(0x01, 0x09), "1.09");
    EXPECT_EQ(revisionText(0x02, 0x10), "2.10");
    EXPECT_EQ(revisionText(0x12, 0x99), "12.99");
}

TEST(DriverErrors, EveryCodeHasItsWording)
{
    using DriverErrors::Wording;
    struct Case {
        std::int32_t code;
        const char *monitor;
        const char *dome;
        bool monitorRow;
    };
    const Case cases[] = {
        {0, "USB Device found and enumerated", "USB Device found and enumerated", true},
        {5, "USB_ERROR", "USB_ERROR", true},
        {6, "ERROR - Invalid Command", "ERROR - Invalid Command", true},
        {7, "UNDEFINED ERROR", "No Response from Device  12", false},
        {8, "ERROR - No USB Device Found", "ERROR - No USB Device Found", true},
        {9, "ERROR - Unable to Create file handles", "ERROR - Unable to Create file handles", true},
        {10, "ERROR - Unable to Configure USB Device", "ERROR - Unable to Configure USB Device", true},
        {11, "ERROR - Unable to Bind to EP 0x81", "ERROR - Unable to Bind to EP 0x81", true},
        {12, "ERROR - Unable to Bind to EP 0x02", "ERROR - Unable to Bind to EP 0x02", true},
        {13, "ERROR - Module Not Online", "ERROR - Module Not Online", true},
        {1, "UNDEFINED ERROR", "UNDEFINED ERROR", false},
        {4, "UNDEFINED ERROR", "UNDEFINED ERROR", false},
        {14, "UNDEFINED ERROR", "UNDEFINED ERROR", false},
        {264, "UNDEFINED ERROR", "UNDEFINED ERROR", false},
        {-1, "UNDEFINED ERROR", "UNDEFINED ERROR", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(DriverErrors::message(c.code, Wording::Monitor), c.monitor);
        EXPECT_EQ(DriverErrors::message(c.code, Wording::Dome, 12), c.dome);
        EXPECT_EQ(DriverErrors::hasRow(c.code, Wording::Monitor), c.monitorRow);
    }
}
