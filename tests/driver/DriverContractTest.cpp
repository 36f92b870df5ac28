// What the program relies on from any driver: run against the in-process emulator,
// the emulator library loaded by name, and any other library QWIL_CONTRACT_LIBRARY names.
#include "EmulatedBus.h"
#include "driver/LibraryDriver.h"
#include "driver/ModuleStatus.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

// One driver under test, with the clock its waits run on.
struct Subject {
    virtual ~Subject() = default;
    virtual ModuleDriver &driver() = 0;
    virtual std::int64_t nowMs() = 0;
};

struct InProcessEmulator final : Subject {
    EmulatedBus bus;
    ModuleDriver &driver() override { return bus.driver; }
    std::int64_t nowMs() override { return bus.now(); }
};

struct LoadedLibrary final : Subject {
    explicit LoadedLibrary(const std::string &name) : library(name) {}
    LibraryDriver library;
    SteadyClock clock;
    ModuleDriver &driver() override { return library; }
    std::int64_t nowMs() override { return clock.nowMs(); }
};

struct SubjectKind {
    std::string label;
    std::function<std::unique_ptr<Subject>()> make;
};

void PrintTo(const SubjectKind &kind, std::ostream *out)
{
    *out << kind.label;
}

std::vector<SubjectKind> subjects()
{
    std::vector<SubjectKind> kinds{
        {"InProcessEmulator", [] { return std::make_unique<InProcessEmulator>(); }},
        {"EmulatorLibrary", [] { return std::make_unique<LoadedLibrary>(LibraryDriver::DefaultLibraryName); }},
    };
    if (const char *other = std::getenv("QWIL_CONTRACT_LIBRARY"); other && *other) {
        const std::string path = other;
        kinds.push_back({"NamedLibrary", [path] { return std::make_unique<LoadedLibrary>(path); }});
    }
    return kinds;
}

class DriverContract : public testing::TestWithParam<SubjectKind> {
protected:
    void SetUp() override
    {
        subject = GetParam().make();
        word = subject->driver().OpenUSBDriver();
        ASSERT_TRUE(ModuleStatus::isConnected(word)) << "module not connected: " << word;
    }
    void TearDown() override
    {
        if (subject)
            subject->driver().CloseUSBDriver();
    }

    void drain()
    {
        std::array<std::uint8_t, 101> buffer{};
        std::uint8_t count = 0;
        for (int i = 0; i < 1000 && subject->driver().GetData(buffer.data(), &count, 100) == 0; ++i) {
        }
    }

    std::unique_ptr<Subject> subject;
    std::int32_t word = 0;
};

} // namespace

TEST_P(DriverContract, DescriptorCarriesABcdRevision)
{
    std::array<std::uint8_t, 31> descriptor{};
    std::int32_t length = 31;
    EXPECT_EQ(subject->driver().GetDevDescr(descriptor.data(), &length), 0);
    EXPECT_GE(length, 14);
    EXPECT_LE(length, 31);
    for (const std::uint8_t b : {descriptor[12], descriptor[13]}) {
        EXPECT_LE(b & 0x0F, 9);
        EXPECT_LE(b >> 4, 9);
    }
    EXPECT_GT(subject->driver().GetQwilUsbVersion(), 0);
}

TEST_P(DriverContract, GetDataAnswersSevenAfterItsWaitWhenNothingArrives)
{
    drain();
    std::array<std::uint8_t, 101> buffer{};
    std::uint8_t count = 0;
    const std::int64_t start = subject->nowMs();
    EXPECT_EQ(subject->driver().GetData(buffer.data(), &count, 150), 7);
    EXPECT_GE(subject->nowMs() - start, 140);
}

TEST_P(DriverContract, ConfigurationRepliesNameTheAddressThatAnswered)
{
    EXPECT_EQ(subject->driver().ConfigQwil(0, 1, 16), 0);
    drain();
    int answered = 0;
    for (std::uint8_t address = 1; address <= 16; ++address) {
        std::array<std::uint8_t, 101> buffer{};
        const std::int32_t r = subject->driver().GetConfigData(buffer.data(), 10, 8, address, 250);
        if (r != 0) {
            EXPECT_EQ(r, 7) << "address " << int(address);
            continue;
        }
        ++answered;
        EXPECT_EQ(buffer[1], address);
        EXPECT_EQ(buffer[5], 0xC4);
        EXPECT_EQ(buffer[6], 10);
    }
    EXPECT_GT(answered, 0);
    EXPECT_EQ(subject->driver().ConfigQwil(1000, 1, 16), 0);
}

TEST_P(DriverContract, NothingWorksAfterClose)
{
    EXPECT_EQ(subject->driver().CloseUSBDriver(), 0);
    std::array<std::uint8_t, 101> buffer{};
    std::uint8_t count = 0;
    EXPECT_NE(subject->driver().GetData(buffer.data(), &count, 10), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverContract, testing::ValuesIn(subjects()),
                         [](const testing::TestParamInfo<SubjectKind> &param) { return param.param.label; });
