#include "EmulatedBus.h"

#include <gtest/gtest.h>

#include <array>

using emu::Bytes;

namespace {

// An opened module on the default bus, with the dome at address 3.
struct DomeBus {
    DomeBus(const emu::Scenario &s = emu::Scenario::defaultBus(), std::int64_t startMs = 0) : bus(s, startMs)
    {
        bus.emulator.OpenUSBDriver();
    }
    emu::DomeState dome(std::uint8_t address = 3) { return bus.emulator.domeState(address).value(); }
    emu::Emulator &e() { return bus.emulator; }
    EmulatedBus bus;
};

} // namespace

TEST(DomeModel, PatternsReplayTheirMovesAndTargetsAreGoneBackTo)
{
    DomeBus d;
    d.e().DevPattern(0, 1, 3, 0); // define pattern 2
    EXPECT_EQ(d.dome().recordingPattern, 2);
    d.e().DevPan(0x82, 0, 3, 1);
    d.bus.advance(1000);
    d.e().DevPan(0x83, 0, 3, 1);
    d.e().DevTilt(0x85, 0, 3, 1);
    d.e().DevTilt(0x86, 0, 3, 1);
    d.e().DevPattern(1, 0, 3, 0); // end
    const emu::DomePosition recorded = d.dome().position;
    EXPECT_EQ(d.dome().patternMoves.at(2), 4u);

    d.e().DevTarget(0xA8, 0, 3);
    d.e().DevPan(0x81, 0, 3, 0);
    d.bus.advance(3000);
    d.e().DevPan(0x83, 0, 3, 0);
    EXPECT_EQ(d.e().DevPattern(4, 1, 3, 0), 0); // run once
    EXPECT_EQ(d.dome().runningPattern, 2);
    d.bus.advance(500);
    EXPECT_NEAR(d.dome().position.pan, 10, 0.01) << "halfway through the recorded pan";
    d.bus.advance(1000);
    EXPECT_EQ(d.dome().position, recorded);
    EXPECT_EQ(d.dome().runningPattern, 0);

    d.e().DevPattern(4, 1, 3, 1); // repeat: it starts over from where the recording began
    d.bus.advance(1200);
    EXPECT_TRUE(d.dome().repeating);
    EXPECT_NEAR(d.dome().position.pan, 4, 0.01);
    d.e().DevPan(0x82, 0, 3, 0); // a hand on the head ends it
    EXPECT_EQ(d.dome().runningPattern, 0);
    d.bus.advance(500);
    d.e().DevPan(0x83, 0, 3, 0);
    d.e().DevTarget(0xA9, 0, 3);
    EXPECT_EQ(d.dome().position, recorded) << "target 1 was stored where the recording ended";
}

TEST(DomeModel, FunctionsChangeTheDomesState)
{
    DomeBus d;
    std::array<std::uint8_t, 6> data{};
    const auto misc = [&](std::uint8_t code, std::uint8_t b0 = 0, std::uint8_t b1 = 0) {
        data = {b0, b1};
        return d.e().MiscDevCtrl(code, data.data(), 3);
    };
    EXPECT_EQ(misc(0xAA, 0x05), 0);
    EXPECT_EQ(d.dome().outputs, 0x05);
    misc(8);
    EXPECT_TRUE(d.dome().menuOpen);
    misc(9);
    EXPECT_FALSE(d.dome().menuOpen);
    misc(1);
    EXPECT_TRUE(d.dome().flipped);
    EXPECT_NEAR(d.dome().position.pan, 180, 0.01);

    struct Quick {
        std::uint8_t number;
        std::function<bool(const emu::DomeState &)> holds;
    };
    const Quick quick[] = {
        {10, [](const emu::DomeState &s) { return s.dayNight == emu::DayNight::Night; }},
        {11, [](const emu::DomeState &s) { return s.dayNight == emu::DayNight::Day; }},
        {13, [](const emu::DomeState &s) { return s.wdr; }},
        {50, [](const emu::DomeState &s) { return s.eisHz == 10; }},
        {16, [](const emu::DomeState &s) { return s.scan == 16; }},
        {57, [](const emu::DomeState &s) { return s.sequence == 7; }},
        {0, [](const emu::DomeState &s) { return s.quickMenuOpen; }},
        {20, [](const emu::DomeState &s) { return s.informationShown; }},
    };
    for (const Quick &q : quick) {
        EXPECT_EQ(misc(11, 0, q.number), 0);
        EXPECT_TRUE(q.holds(d.dome())) << int(q.number);
    }
    d.e().DevFocus(0x87, 3);
    misc(10);
    EXPECT_TRUE(d.dome().autoFocus && d.dome().autoIris);
    d.e().DevPan(0x82, 0, 3, 0);
    misc(0);
    EXPECT_EQ(d.dome().resets, 1);
    d.bus.advance(1000);
    EXPECT_EQ(d.dome().position, emu::DomePosition{}) << "reset brings the head home and stops it";
    EXPECT_EQ(misc(0x77), 2) << "no dome knows this function";
}

namespace {
// The next bus-message record the module holds for command, from the message on (byte 3).
Bytes nextMessage(DomeBus &d, std::uint8_t command)
{
    std::array<std::uint8_t, 101> record{};
    std::uint8_t count = 0;
    while (d.e().GetData(record.data(), &count, 200) == 0) {
        if (record[0] == 2 && record[8] == command)
            return Bytes(record.begin() + 3, record.begin() + count);
    }
    return {};
}

Bytes send(DomeBus &d, Bytes message)
{
    d.e().SndQwilData(message.data(), static_cast<std::int16_t>(message.size()));
    return nextMessage(d, message[5]);
}
} // namespace

TEST(DomeModel, EngineeringRequestsReadAndSetTheDomeInItsUnits)
{
    DomeBus d(scenarioFrom("device 3 type 4008\ndevice 4 type 4008 ncpc-reply short\n"
                           "device 5 type 4008 ncpc-reply long-target\ndevice 6 type 4008 ncpc-reply big-zoom\n"));
    const auto request = [](std::uint8_t address, Bytes tail) {
        Bytes m{address, 0xF0, 0x00, 0x01, 0x01, 0xFA};
        for (const std::uint8_t b : tail)
            m.push_back(b);
        return m;
    };
    // Set pan 12.5 degrees absolute in degrees (long form), then read pan, tilt and zoom.
    d.e().DevPan(0x82, 0, 3, 0);
    d.e().DevPan(0x83, 0, 3, 0);
    Bytes set = request(3, {0x87, 0x01, 0x01, 0xE8, 0x48});
    d.e().SndQwilData(set.data(), static_cast<std::int16_t>(set.size()));
    EXPECT_NEAR(d.dome().position.pan, 12.5, 0.001);
    const Bytes all = send(d, request(3, {0x0C, 0x01}));
    EXPECT_EQ(Bytes(all.begin() + 5, all.end()),
              (Bytes{0xFA, 0x0C, 0x01, 0x01, 0xE8, 0x48, 0x00, 0x00, 0x00, 0x00, 0x64}));
    // Counts (hundredths), a short tilt request, the limits and the target definition.
    EXPECT_EQ(send(d, request(3, {0x07, 0x00})).size(), 6u + 2 + 3) << "pan alone";
    const Bytes shortPan = send(d, request(3, {0x47, 0x00}));
    EXPECT_EQ(Bytes(shortPan.begin() + 8, shortPan.end()), (Bytes{0x00, 0x04, 0xE2})) << "1250 hundredths";
    const Bytes limits = send(d, request(3, {0x1F, 0x01}));
    EXPECT_EQ(Bytes(limits.begin() + 14, limits.end()), (Bytes{0x0D, 0xAC})) << "zoom 35.00";
    const Bytes target = send(d, request(3, {0x1E, 0x00}));
    EXPECT_EQ(target.size(), 6u + 2 + 21);
    EXPECT_EQ(Bytes(target.begin() + 8, target.begin() + 11), (Bytes{0x00, 0x04, 0xE2}));

    // Relative moves and the frame move go from where the head is.
    Bytes relative = request(3, {0x87 | 0x20, 0x01, 0x01, 0xE8, 0x48});
    d.e().SndQwilData(relative.data(), static_cast<std::int16_t>(relative.size()));
    EXPECT_NEAR(d.dome().position.pan, 25, 0.001);

    EXPECT_EQ(send(d, request(4, {0x0C, 0x01})).size(), 6u + 4 - 1) << "cut short";
    EXPECT_EQ(send(d, request(5, {0x1E, 0x00})).size(), 6u + 2 + 60) << "a long target";
    const Bytes big = send(d, request(6, {0x0C, 0x01}));
    EXPECT_EQ(Bytes(big.end() - 2, big.end()), (Bytes{0xFF, 0xFF}));
}
