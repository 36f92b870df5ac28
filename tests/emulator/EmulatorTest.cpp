#include "EmulatedBus.h"
#include "emulator/BoardModel.h"
#include "emulator/ModuleLoader.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <numeric>
#include <string>

using emu::Bytes;

namespace {

Bytes bytes(const std::uint8_t *data, std::size_t n)
{
    return Bytes(data, data + n);
}

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

TEST(Emulator, GetDataWaitsItsFullTimeWhenNothingArrives)
{
    Module m("");
    const auto start = m.bus.now();
    EXPECT_EQ(m.getData(1000), 7);
    EXPECT_EQ(m.bus.now() - start, 1000);

    // A record due within the wait ends it early, when it arrives.
    m.bus.emulator.queueRecord(emu::RecordKind::Module, {0x17, 0x16, 0x00}, 40);
    const auto second = m.bus.now();
    EXPECT_EQ(m.getData(1000), 0);
    EXPECT_EQ(m.bus.now() - second, 40);
    EXPECT_EQ(m.count, 6);
    EXPECT_EQ(bytes(m.buffer.data(), 5), (Bytes{1, 0, 0, 0x17, 0x16}));
    EXPECT_EQ(static_cast<std::uint8_t>(0x17 + 0x16 + m.buffer[6]), 0); // check byte after the record

    // One due after the wait is not there yet.
    m.bus.emulator.queueRecord(emu::RecordKind::Module, {0x17, 0x16, 0x00}, 300);
    EXPECT_EQ(m.getData(200), 7);
    EXPECT_EQ(m.getData(200), 0);
}

TEST(Emulator, DevicesAnswerAndTakeConfigurationBlocksInSentForm)
{
    Module m("");
    ASSERT_EQ(m.askName(5), 0);
    const Bytes expected{0xF0, 0x05, 0x00, 0x02, 0x01, 0xC4, 10, 0x01, 0x47, 0x01, 0x01, 'D', 'O', 'M', 'E', ' ', ' '};
    EXPECT_EQ(bytes(m.buffer.data(), expected.size()), expected);
    EXPECT_EQ(m.buffer[expected.size()], emu::checkByte(expected));
    EXPECT_EQ(m.buffer[expected.size() + 1], 0) << "nothing written past the reply";

    // The request and the reply both crossed the bus.
    EXPECT_EQ(m.bus.emulator.trace().busMessages(),
              (std::vector<Bytes>{{0x05, 0xF0, 0x00, 0x02, 0x01, 0xC4, 8, 10}, expected}));

    // A block written is read back, zeros after what was written.
    std::array<std::uint8_t, 3> data{0xAB, 0xCD, 0xEF};
    EXPECT_EQ(m.bus.emulator.SetConfigData(data.data(), 3, 5, 1), 0);
    ASSERT_EQ(m.bus.emulator.GetConfigData(m.buffer.data(), 4, 5, 1, 250), 0);
    EXPECT_EQ(bytes(m.buffer.data() + 6, 5), (Bytes{4, 0xAB, 0xCD, 0xEF, 0x00}));
}

TEST(Emulator, EmptyAndSilentAddressesLetTheWaitRunOut)
{
    Module m("device 3 type 2315 silent\n");
    for (const std::uint8_t address : {std::uint8_t{3}, std::uint8_t{4}}) {
        const auto start = m.bus.now();
        EXPECT_EQ(m.askName(address), 7);
        EXPECT_EQ(m.bus.now() - start, 250);
    }
    EXPECT_EQ(m.buffer, (std::array<std::uint8_t, 101>{}));
}

TEST(Emulator, AReplyTooLateForItsRequestArrivesAsARecord)
{
    Module m("device 3 type 2315 rev 0100 name \"LATE\" delay 400\n");
    EXPECT_EQ(m.askName(3), 7);
    ASSERT_EQ(m.getData(1000), 0);
    EXPECT_EQ(m.buffer[0], 2);
    EXPECT_EQ(m.buffer[3 + 1], 3);    // source address
    EXPECT_EQ(m.buffer[3 + 5], 0xC4); // command
    EXPECT_EQ(m.count, 3 + 7 + 10);
}

TEST(Emulator, CaptureCopiesEveryBusMessageIntoTheRecords)
{
    Module m("device 1 type 2315\n");
    m.capture(true);
    ASSERT_EQ(m.askName(1), 0);
    ASSERT_EQ(m.getData(100), 0);
    EXPECT_EQ(m.buffer[0], 2);
    EXPECT_EQ(m.buffer[3], 0x01); // the request to address 1
    EXPECT_EQ(m.buffer[8], 0xC4);
    ASSERT_EQ(m.getData(100), 0);
    EXPECT_EQ(m.buffer[3], 0xF0); // its reply
    EXPECT_EQ(m.buffer[4], 0x01);
    EXPECT_EQ(m.getData(100), 7);

    m.capture(false);
    m.askName(1);
    EXPECT_EQ(m.getData(100), 7);
}

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

TEST(Emulator, TraceRecordsCallsAndCanBeWrittenToAFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    Module m("device 1 type 2315\ntrace \"" + path.toStdString() + "\"\n");
    m.bus.emulator.ConfigQwil(1000, 1, 16);
    m.askName(1);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char *line : {"OpenUSBDriver() = 128", "ConfigQwil(1000, 1, 16) = 0", "bus 01F0000201C4080A",
                             "GetConfigData(10, 8, 1, 250) = 0"})
        EXPECT_TRUE(text.contains(QLatin1String(line))) << line;
}

TEST(Emulator, OtherControllersTalkWhileTheModuleListens)
{
    Module m("device 1 type 2315\ndevice 2 type 4008\ntraffic 50 seed 7\n");
    EXPECT_EQ(m.getData(200), 7) << "nothing is heard before capture";
    m.capture(true);
    int records = 0;
    const auto start = m.bus.now();
    while (m.bus.now() - start < 1000 && m.getData(200) == 0) {
        ++records;
        EXPECT_EQ(m.buffer[0], 2);
        EXPECT_GE(m.count, 3 + 6);
        EXPECT_EQ(static_cast<std::uint8_t>(std::accumulate(m.buffer.begin() + 3, m.buffer.begin() + m.count + 1, 0)),
                  0);
    }
    EXPECT_GE(records, 45);
    EXPECT_LE(records, 55);
    EXPECT_EQ(m.bus.emulator.capturedRecordsDelivered(), records);
}

// Over every whole second of capture exactly the rate's number of messages cross the bus,
// however time is taken in between; the rates that do not divide 1000 too.
TEST(Emulator, TrafficKeepsItsRateExactlyOverWholeSeconds)
{
    struct Case {
        int rate;
        int seconds;
    };
    for (const Case c : {Case{1, 3}, Case{25, 2}, Case{300, 1}, Case{400, 3}, Case{1000, 2}}) {
        Module m("traffic " + std::to_string(c.rate) + "\n");
        m.capture(true);
        for (std::int64_t left = c.seconds * 1000; left > 0; left -= 7) {
            m.bus.advance(std::min<std::int64_t>(left, 7));
            m.getData(0);
        }
        EXPECT_EQ(m.bus.emulator.trace().busMessages().size(), static_cast<std::size_t>(c.rate * c.seconds))
            << c.rate << " a second";
    }
}

TEST(BoardModel, AChecksumOverAnyRangeIsAnsweredAtOnce)
{
    // Found by fuzzing: a request over the whole 32-bit range used to walk every address.
    emu::BoardModel board;
    Bytes image(emu::BoardModel::BootImageBytes, 0);
    image.push_back('d');
    board.receive(image, emu::BoardModel::RomBaud);
    board.receive({'h'}, emu::BoardModel::RomBaud);
    board.receive({'f', 0, 0, 0x10, 0, 0, 1, 0x12, 0xFF, 0xEE}, emu::BoardModel::LoaderBaud);
    const auto replies = board.receive({'i', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, emu::BoardModel::LoaderBaud);
    ASSERT_EQ(replies.size(), 1u);
    // 2^32 bytes of 0xFF wrap to 0; the one written byte adds 0x12 - 0xFF.
    const std::uint32_t expected = 0x12u - 0xFFu;
    EXPECT_EQ(replies[0].bytes,
              (Bytes{'i', static_cast<std::uint8_t>(expected >> 24), static_cast<std::uint8_t>(expected >> 16),
                     static_cast<std::uint8_t>(expected >> 8), static_cast<std::uint8_t>(expected)}));
    emu::FlashMemory flash;
    flash.write(0x1000, {0x12});
    EXPECT_EQ(flash.sum(0x1000, 0x10FF), 65043u) << "65280 + 0x12 - 0xFF";
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
