#include "terminal/VersionReport.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

TEST(VersionReport, DriverVersionShowsTheMinorWithTwoDigits)
{
    EXPECT_EQ(VersionReport::driverVersionText(0x0105), "1.05");
    EXPECT_EQ(VersionReport::driverVersionText(0x020C), "2.12");
    EXPECT_EQ(VersionReport::driverVersionText(0x0109), "1.09");
    EXPECT_EQ(VersionReport::driverVersionText(0x010A), "1.10");
    EXPECT_EQ(VersionReport::driverVersionText(0x0000), "0.00");
    // No library at all: the panel still builds its line from the answer it got.
    EXPECT_EQ(VersionReport::driverVersionText(8), "0.08");
}

TEST(VersionReport, SixLinesJoinedByCrLf)
{
    EXPECT_EQ(VersionReport::build(0x0105, u"1.02 APP"_s), "Utility Panel Version 2.01\r\n"
                                                           "FlashLoader Version 2.01\r\n"
                                                           "Quillbus Analyzer Version 1.00\r\n"
                                                           "DomeControl Version 2.00\r\n"
                                                           "QwilUsb.dll Version 1.05\r\n"
                                                           "Orvo USB Module Version 1.02 APP");
}
