#include "emulator/Scenario.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/stat.h>

using namespace emu;

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
    struct Case {
        std::string path;
        const char *why;
    };
    // A folder given as the scenario is the terminal's table's.
    const Case cases[] = {{folder + "/missing", "No such file or directory"},
                          {folder + "/pipe", "not a regular file (a pipe)"},
                          {"/dev/zero", "not a regular file (a device)"}};
    for (const Case &c : cases) {
        ScenarioError error;
        EXPECT_FALSE(loadScenarioFile(c.path, &error).has_value()) << c.path;
        EXPECT_EQ(error.message, "cannot read scenario file " + c.path + ": " + c.why);
        EXPECT_EQ(error.line, 0);
    }
}
