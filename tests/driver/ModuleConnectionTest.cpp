#include "driver/ModuleConnection.h"
#include "EmulatedBus.h"

#include <QObject>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

emu::Scenario withMode(const std::string &line)
{
    return scenarioFrom("module revision 1.02\n" + line + "\n");
}

} // namespace

TEST(ModuleConnection, AFailedConnectionReadsNoDescriptor)
{
    struct Case {
        const char *scenario;
        std::int32_t word;
    };
    const Case cases[] = {
        {"module unplugged", 8},
        {"module mode error 13", 13},
        {"module mode word 0x0108", 0x0108},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.scenario);
        EmulatedBus bus(withMode(c.scenario));
        const ConnectOutcome panel = ModuleConnection::connect(bus.driver, ConnectOptions::controlPanel());
        EXPECT_FALSE(panel.connected);
        EXPECT_EQ(panel.word, c.word);
        EXPECT_EQ(panel.status, "- USB ERROR");
        EXPECT_EQ(bus.callCount("GetDevDescr"), 0u);
        EXPECT_EQ(bus.callCount("CloseUSBDriver"), 1u);

        const ConnectOutcome loader = ModuleConnection::connect(bus.driver, ConnectOptions::flashLoader());
        EXPECT_FALSE(loader.connected);
        EXPECT_EQ(loader.status, "");
        EXPECT_EQ(bus.callCount("GetData"), 0u);
    }
}

TEST(ModuleConnection, TheDrainHandsOverEveryRecordAndEndsOnTheFirstEmptyWait)
{
    EmulatedBus bus;
    const ConnectOutcome outcome = ModuleConnection::connect(bus.driver, ConnectOptions::flashLoader());
    EXPECT_TRUE(outcome.connected);
    EXPECT_EQ(outcome.word, 128);
    EXPECT_EQ(outcome.status, "Orvo USB Module Rev 1.02- Online(App)");
    bus.emulator.queueRecord(emu::RecordKind::Module, {0x17, 0x13, 0x00});
    bus.emulator.queueRecord(emu::RecordKind::BusMessage, {0xF0, 0x05, 0x00, 0x02, 0x01, 0xC4});
    bus.emulator.queueRecord(emu::RecordKind::BusMessage, {0xF0, 0x06, 0x00, 0x02, 0x01, 0xC4}, 50);

    QObject window;
    std::vector<std::string> records;
    ModuleConnection::drain(
        bus.driver, &window, ModuleConnection::DrainWaitMs, [&](const ModuleConnection::Records &drained) {
            for (const auto &record : drained)
                records.push_back(std::to_string(record[0]) + " of " + std::to_string(record.size()));
        });

    EXPECT_EQ(records, (std::vector<std::string>{"1 of 6", "2 of 9", "2 of 9"}));
    const auto reads = bus.emulator.trace().calls("GetData");
    ASSERT_EQ(reads.size(), 4u);
    EXPECT_EQ(reads.back().result, 7);
    EXPECT_EQ(reads.back().arguments.front(), ModuleConnection::DrainWaitMs);
    EXPECT_TRUE(bus.emulator.isOpen());
}

TEST(ModuleConnection, DrainNeverHangsOnAModuleThatKeepsTalking)
{
    EmulatedBus bus;
    bus.emulator.OpenUSBDriver();
    for (int i = 0; i < ModuleConnection::MaxDrainRecords + 10; ++i)
        bus.emulator.queueRecord(emu::RecordKind::Module, {0x17, 0x15, 0x00});
    EXPECT_EQ(ModuleConnection::drain(bus.driver, 100), ModuleConnection::MaxDrainRecords);
}
