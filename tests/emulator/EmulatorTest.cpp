#include "EmulatedBus.h"
#include "QtPrinters.h"
#include "emulator/ModuleLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

using emu::Bytes;

namespace {

// An emulated bus whose module has been asked to open, and a buffer for what it hands out.
struct Module {
    explicit Module(const std::string &scenario)
        : bus(scenario.empty() ? emu::Scenario::defaultBus() : scenarioFrom(scenario)),
          opened(bus.emulator.OpenUSBDriver())
    {
    }
    std::int32_t getData(std::int32_t waitMs) { return bus.emulator.GetData(buffer.data(), &count, waitMs); }
    // The name block (8) of a device, as the scan asks for it.
    std::int32_t askName(std::uint8_t address)
    {
        return bus.emulator.GetConfigData(buffer.data(), 10, 8, address, 250);
    }
    void capture(bool on)
    {
        std::uint8_t result = 0xFF;
        EXPECT_EQ(bus.emulator.QwilAnalyzer(on ? 1 : 0, 5, &result), 0);
    }

    EmulatedBus bus;
    std::int32_t opened;
    std::array<std::uint8_t, 101> buffer{};
    std::uint8_t count = 0;
};

} // namespace

TEST(Emulator, AnUnpluggedModuleFailsEveryCallUntilPluggedAndOpened)
{
    Module m("module unplugged\ndevice 1 type 2315\nfault unplug-on GetConfigData 3\n");
    emu::Emulator &e = m.bus.emulator;
    std::int32_t length = 0;
    EXPECT_EQ(m.opened, 8);
    EXPECT_EQ(e.GetDevDescr(m.buffer.data(), &length), 5);
    EXPECT_EQ(m.getData(100), 5);
    EXPECT_EQ(e.ConfigQwil(0, 1, 16), 5);
    EXPECT_EQ(m.askName(1), 5);
    EXPECT_EQ(e.SndQwilData(m.buffer.data(), 6), 5);

    e.plug();
    EXPECT_EQ(m.getData(100), 7) << "plugged in but not opened";
    EXPECT_EQ(e.ConfigQwil(0, 1, 16), 13);
    EXPECT_EQ(e.OpenUSBDriver(), 0x0080);
    EXPECT_EQ(m.askName(1), 0);

    // The scenario's fault pulls it out again on the third request, the refused one counted.
    EXPECT_EQ(m.askName(1), 5);
    EXPECT_FALSE(e.isPlugged());
    EXPECT_EQ(e.OpenUSBDriver(), 8);
}

// A scenario's forced result is what the operation answers, whichever it is, on the
// occurrence it names.
TEST(Emulator, AForcedResultIsAnsweredByEveryOperation)
{
    Module m("device 1 type 2315\n"
             "fault result GetDevDescr 5\nfault result GetData 5 on 2\nfault result DevDownLoad 11\n"
             "fault result ConfigQwil 5 on 2\nfault result SndModData 5\nfault result QwilAnalyzer 13\n"
             "fault result CloseUSBDriver 5\n");
    emu::Emulator &e = m.bus.emulator;
    std::int32_t length = 0;
    std::uint8_t result = 0;
    std::uint8_t byte = 26;
    EXPECT_EQ(e.GetDevDescr(m.buffer.data(), &length), 5);
    EXPECT_EQ(m.getData(10), 7);
    EXPECT_EQ(m.getData(10), 5) << "the second call";
    EXPECT_EQ(e.DevDownLoad(2, m.buffer.data(), 7, 0), 11);
    EXPECT_EQ(e.ConfigQwil(0, 1, 16), 0);
    EXPECT_EQ(e.ConfigQwil(1000, 1, 16), 5);
    EXPECT_EQ(e.SndModData(&byte, 1), 5);
    EXPECT_EQ(e.QwilAnalyzer(1, 5, &result), 13);
    EXPECT_EQ(e.CloseUSBDriver(), 5);
    EXPECT_EQ(Module("fault result OpenUSBDriver 8\n").opened, 8);
}

// The module takes an image as its firmware only when the PC, letting the loader go, says
// the checksums matched; told they did not, it keeps the firmware it had.
TEST(ModuleLoader, AnImageTheChecksumsRefusedIsNotTakenAsTheFirmware)
{
    for (const std::uint8_t matched : {std::uint8_t{0x00}, std::uint8_t{0x01}}) {
        emu::ModuleLoader loader;
        loader.receive({0x13});
        // A block of "RV 01 03" at 0x1000: sequence 1, address, length, data, their sum.
        loader.receive({0x14, 1, 0x00, 0x00, 0x10, 0x00, 0x00, 0x04, 'R', 'V', 0x01, 0x03, 0x00, 0xAC});
        loader.receive({0x16, matched});
        EXPECT_TRUE(loader.restartPending());
        EXPECT_EQ(loader.imageAccepted(), matched == 0x00) << int{matched};
        EXPECT_EQ(loader.flash().revisionAt(0x1000), std::optional<std::uint16_t>(0x0103));
    }
}
