#include "EmulatedBus.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

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

    EmulatedBus bus;
    std::int32_t opened;
    std::array<std::uint8_t, 101> buffer{};
    std::uint8_t count = 0;
};

} // namespace

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
