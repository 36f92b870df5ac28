#include "emulator/Scenario.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

using namespace emu;

TEST(Scenario, FileDescribesModuleBusFaultsAndTrace)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(u"bus.scenario"_s).toStdString();
    std::ofstream(path) << "# a small bus\r\n"
                           "module mode preboot 3   # boot loader waiting\r\n"
                           "module revision 2.10\r\n"
                           "driver version 2.12\r\n"
                           "device 7 type 0147 rev 0103 name \"DM 47\" delay 40\r\n"
                           "device 96 type 2507 rev 0100 silent\r\n"
                           "fault unplug-on GetConfigData 3\r\n"
                           "trace /tmp/bus-trace.txt\r\n";
    ScenarioError error;
    const auto s = loadScenarioFile(path, &error);
    ASSERT_TRUE(s.has_value()) << error.line << ": " << error.message;
    EXPECT_EQ(s->connectionWord, 0x0381);
    EXPECT_EQ(s->revisionMajor, 0x02);
    EXPECT_EQ(s->revisionMinor, 0x10);
    EXPECT_EQ(s->driverVersion, 0x020C);
    ASSERT_EQ(s->devices.size(), 2u);
    EXPECT_EQ(s->device(7)->name, "DM 47 ");
    EXPECT_EQ(s->device(7)->replyDelayMs, 40);
    EXPECT_TRUE(s->device(96)->silent);
    EXPECT_EQ(s->device(96)->name, "      ");
    ASSERT_EQ(s->faults.size(), 1u);
    EXPECT_EQ(s->faults[0].operation, "GetConfigData");
    EXPECT_EQ(s->faults[0].occurrence, 3);
    EXPECT_EQ(s->traceFile, "/tmp/bus-trace.txt");
}

TEST(Scenario, MistakesAreReportedWithTheirLine)
{
    struct Case {
        const char *text;
        int line;
    };
    const Case cases[] = {
        {"module mode sideways", 1},
        {"module revision 1", 1},
        {"\ndevice 0 type 2315", 2},
        {"device 5 rev 0100", 1},                              // no type
        {"device 5 type 12345", 1},                            // more than four hex digits
        {"device 5 type 2315 name \"SEVENCH\"", 1},            // name too long
        {"device 5 type 2315 name \"D\xC3\xB6m\xC3\xA9\"", 1}, // four characters in six bytes of UTF-8
        {"device 5 type 2315 name \"A\tB\"", 1},               // a control character
        {"device 5 type 2315 name \"OPEN", 1},                 // unterminated quote
        {"device 5 type 2315\ndevice 5 type 4008", 2},         // address taken twice
        {"driver version x", 1},
        {"fault unplug-on GetData 0", 1},
        {"fault result GetDta 5", 1}, // not an operation of the driver
        {"bus speed 9600", 1},
    };
    for (const Case &c : cases) {
        ScenarioError error;
        EXPECT_FALSE(parseScenario(c.text, &error).has_value()) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_FALSE(error.message.empty());
    }
}

// A path that holds no readable file is an error naming it and why, never an empty bus;
// a pipe is refused without waiting for a writer.
TEST(Scenario, AFileThatCannotBeReadIsAnErrorSayingWhy)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    ASSERT_EQ(::mkfifo((folder + "/pipe").c_str(), 0600), 0);
    std::ofstream(folder + "/locked") << "device 1 type 2315\n";
    ::chmod((folder + "/locked").c_str(), 0);
    struct Case {
        std::string path;
        const char *why;
    };
    std::vector<Case> cases{{folder + "/missing", "No such file or directory"},
                            {folder, "Is a directory"},
                            {folder + "/pipe", "not a regular file (a pipe)"},
                            {"/dev/zero", "not a regular file (a device)"}};
    if (::geteuid() != 0) // permissions do not hold back the superuser
        cases.push_back({folder + "/locked", "Permission denied"});
    for (const Case &c : cases) {
        ScenarioError error;
        EXPECT_FALSE(loadScenarioFile(c.path, &error).has_value()) << c.path;
        EXPECT_EQ(error.message, "cannot read scenario file " + c.path + ": " + c.why);
        EXPECT_EQ(error.line, 0);
    }
}
