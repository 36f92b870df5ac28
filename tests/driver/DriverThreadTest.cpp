#include "ThreadedBus.h"

#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>

namespace {

// A record read with the given wait, answered to done.
void submitRead(ModuleDriver &driver, const QObject *receiver, int waitMs, std::function<void(std::int32_t)> done)
{
    submitCall(
        driver, receiver,
        [waitMs](ModuleDriver &d) {
            std::array<std::uint8_t, 101> buffer{};
            std::uint8_t count = 0;
            return d.GetData(buffer.data(), &count, waitMs);
        },
        std::move(done));
}

} // namespace

TEST(DriverThread, CallsRunInTheOrderIssuedAndAnswersComeBackAsEvents)
{
    ThreadedBus bus;
    bus.thread.OpenUSBDriver();
    QObject window;
    std::vector<int> answered;
    submitRead(bus.thread, &window, 40, [&](std::int32_t) { answered.push_back(1); });
    std::uint8_t message[] = {0x01, 0x02, 0x03};
    // A key pressed while the wait runs: its command goes out right after it.
    EXPECT_EQ(bus.thread.SndQwilData(message, 3), 0);
    submitRead(bus.thread, &window, 0, [&](std::int32_t) { answered.push_back(2); });
    bus.thread.DevPan(1, 10, 1, 0);
    EXPECT_TRUE(answered.empty()) << "an answer is delivered by the window's event loop, never inside a call";

    EXPECT_TRUE(QTest::qWaitFor([&] { return answered.size() == 2; }, 2000));
    EXPECT_EQ(answered, (std::vector<int>{1, 2}));
    EXPECT_EQ(bus.calls(), (std::vector<std::string>{"OpenUSBDriver()", "GetData(40)", "SndQwilData(3)", "GetData(0)",
                                                     "DevPan(1, 10, 1, 0)"}));
}

TEST(DriverThread, CallsFromManyThreadsNeverOverlap)
{
    // The emulator stops the program should two calls ever overlap.
    ThreadedBus bus;
    QObject window;
    constexpr int Callers = 4, CallsEach = 150, Reads = 100;
    std::vector<std::thread> callers;
    for (int c = 0; c < Callers; ++c) {
        callers.emplace_back([&bus] {
            for (int i = 0; i < CallsEach; ++i) {
                std::uint8_t byte = 0x55;
                bus.thread.SndModData(&byte, 1);
            }
        });
    }
    int answers = 0;
    for (int i = 0; i < Reads; ++i)
        submitRead(bus.thread, &window, 1, [&](std::int32_t) { ++answers; });
    for (std::thread &t : callers)
        t.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers == Reads; }, 10000));
    EXPECT_EQ(bus.calls().size(), static_cast<std::size_t>(Callers * CallsEach + Reads));
}

TEST(DriverThread, AnAnswerForAWindowThatIsGoneIsDropped)
{
    ThreadedBus bus;
    auto window = std::make_unique<QObject>();
    bool touched = false;
    submitRead(bus.thread, window.get(), 100, [&](std::int32_t) { touched = true; });
    window.reset(); // closed while its read waits
    QTest::qWait(250);
    EXPECT_FALSE(touched);
    EXPECT_EQ(bus.calls(), std::vector<std::string>{"GetData(100)"});
}

TEST(EmulatorDeathTest, OverlappingCallsStopTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EmulatedBus bus;
    EXPECT_DEATH(
        {
            const emu::Emulator::CallInProgress first(bus.emulator, "GetData");
            const emu::Emulator::CallInProgress second(bus.emulator, "DevPan");
        },
        "driver calls overlap: DevPan started while GetData runs");
}
