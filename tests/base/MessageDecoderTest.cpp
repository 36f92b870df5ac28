#include "base/MessageDecoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct Message {
    const char *name;
    std::vector<std::uint8_t> bytes; // from the address on, check byte left out
    const char *text;
    bool invalid = false;
    bool marked = false;
    bool parameterMissing = false;
};

// A message from the keyboard at FA to dome 05: the header, then command and parameters.
std::vector<std::uint8_t> toDome(std::vector<std::uint8_t> command, std::uint8_t address = 0x05)
{
    command.insert(command.begin(), {address, 0xFA, 0x00, 0x01, 0x01});
    return command;
}

void PrintTo(const Message &message, std::ostream *out)
{
    *out << message.name;
}

class MessageDecoderRead : public testing::TestWithParam<Message> {};

TEST_P(MessageDecoderRead, WordsAndMarksAsTheMonitor)
{
    const Message &m = GetParam();
    const MessageDecoder::Reading reading = MessageDecoder::read(m.bytes);
    EXPECT_EQ(reading.text, m.text);
    EXPECT_EQ(reading.invalid, m.invalid);
    EXPECT_EQ(MessageDecoder::invalid(m.bytes), m.invalid);
    EXPECT_EQ(reading.marked, m.marked);
    EXPECT_EQ(reading.parameterMissing, m.parameterMissing);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, MessageDecoderRead,
    testing::Values(
        Message{"UpdateProgram", toDome({0x63}), "Update Program"},
        Message{"StapAckDelay", toDome({0x6A}), "Stap Ack Delay"}, Message{"ResetDome", toDome({0x80}), "Reset Dome"},
        Message{"StopAllMovement", toDome({0x93}), "Stop All Movement"}, Message{"Flip", toDome({0x9A}), "Flip"},
        Message{"DefinePatternIsFirstPlusOne", toDome({0xA0, 0x05}), "Define Pattern 6"},
        Message{"RepeatPattern", toDome({0xA3, 0x01, 0x02}), "Repeat Pattern 3"},
        Message{"RunPatternOnce", toDome({0xA3, 0x00, 0x02}), "Run Pattern 3"},
        Message{"SetTarget", toDome({0xA8, 0x0A}), "Set Target 11"},
        Message{"GotoTarget", toDome({0xA9, 0x05}), "Goto Target 6"},
        Message{"AsyncEndOfPattern", toDome({0xB8}), "Async End of Pattern"},
        Message{"PanLeftAtSpeed", toDome({0xC0, 0x81, 0x14}), "Pan Left 20 Deg/Sec"},
        Message{"PanRightAtSpeed", toDome({0xC0, 0x82, 0x0A}), "Pan Right 10 Deg/Sec"},
        Message{"TiltUpAtSpeed", toDome({0xC0, 0x84, 0x05}), "Tilt Up 5 Deg/Sec"},
        Message{"TiltDownAtSpeed", toDome({0xC0, 0x85, 0x40}), "Tilt Down 64 Deg/Sec"},
        Message{"SpeedMoveOfNoDirection", toDome({0xC0, 0x83, 0x10}), ""},
        Message{"QuicksetIsSecond", toDome({0xCD, 0x00, 0x07}), "Quickset 7"},
        Message{"SelectCallCameraIsFirst", toDome({0xD0, 0x0C}), "Select Call Camera 12"},
        Message{"UnlockCamera", toDome({0xD1, 0xFF}), "Unlock Camera 255"},
        Message{"LockCamera", toDome({0xD2, 0x03}), "Lock Camera 3"}, Message{"NoEntry", toDome({0x5A}), ""}),
    [](const testing::TestParamInfo<Message> &row) { return std::string(row.param.name); });

// What a message does not hold reads as 0x7F: a speed move without its speed is invalid;
// a name that takes a number from a missing parameter keeps the monitor's number.
INSTANTIATE_TEST_SUITE_P(
    MissingAndMarked, MessageDecoderRead,
    testing::Values(Message{"SpeedMoveWithoutSpeed", toDome({0xC0, 0x81}), "*** Invalid Command ***", true, true},
                    Message{"SpeedMoveOfUnreadableDirection", toDome({0xC0, 0x7F, 0x10}), "*** Invalid Command ***",
                            true, true},
                    Message{"GotoTargetWithoutItsNumber", toDome({0xA9}), "Goto Target 128", false, false, true},
                    Message{"QuicksetWithoutSecond", toDome({0xCD, 0x01}), "Quickset 127", false, false, true},
                    Message{"PatternWithoutNumber", toDome({0xA3, 0x00}), "Run Pattern 128", false, false, true},
                    Message{"CutShortBeforeItsCommand", {0x05, 0xFA, 0x00}, ""}, Message{"Empty", {}, ""},
                    Message{"ToEveryDeviceIsMarked", toDome({0x80}, 0x00), "Reset Dome", false, true},
                    Message{"ToTheModuleIsMarked", {0xF0, 0x03, 0x00, 0x02, 0x01}, "", false, true}),
    [](const testing::TestParamInfo<Message> &row) { return std::string(row.param.name); });

TEST(MessageDecoder, NamesACommandWithoutItsNumber)
{
    EXPECT_EQ(MessageDecoder::commandName(0x69), "Down Load Complete");
    EXPECT_EQ(MessageDecoder::commandName(0xA9), "Goto Target");
    EXPECT_EQ(MessageDecoder::commandName(0x5A), "");
}

} // namespace
