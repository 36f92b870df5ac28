// A whole serial run driven by the fuzzer: the boot image, the flash loader and the
// application as sound files with random lines slipped in, or as random text; an emulated
// board whose answers the fuzzer withholds, garbles or adds to, time moving in random
// steps, the port lost, starts and stops at random moments. Every run must end once the
// board falls silent, no empty frame may go out, and nothing may go out after a run ends.
#include "core/FormTimer.h"
#include "core/TimeSource.h"
#include "emulator/BoardModel.h"
#include "engines/flash/LoadEvents.h"
#include "engines/flash/SerialLine.h"
#include "engines/flash/SerialLoader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

// One S-record line with its count and checksum.
QByteArray record(char type, long address, const std::vector<std::uint8_t> &data)
{
    const int addressBytes = type == '2' || type == '8' ? 3 : 2;
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(addressBytes + data.size() + 1)};
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (const std::uint8_t b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum));
    QByteArray line = QByteArray("S") + type;
    for (const std::uint8_t b : bytes)
        line += QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    return line;
}

// A sound file of consecutive records from the fuzzer, then maybe lines slipped in, or
// random text instead.
QByteArray firmwareFile(FuzzedDataProvider &in, char type, long start, long limit)
{
    const int shape = in.ConsumeIntegralInRange(0, 3);
    if (shape == 3)
        return QByteArray::fromStdString(in.ConsumeRandomLengthString(400));
    QList<QByteArray> lines{record('0', 0, {'F', 'W'})};
    long address = start;
    const int records = in.ConsumeIntegralInRange(1, 40);
    for (int i = 0; i < records && address < limit; ++i) {
        const auto count = in.ConsumeIntegralInRange<std::size_t>(1, 16);
        std::vector<std::uint8_t> data = in.ConsumeBytes<std::uint8_t>(count);
        if (data.empty())
            data.push_back(0x5A);
        lines.append(record(type, address, data));
        address += static_cast<long>(data.size()) + (in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange(0, 64));
    }
    lines.append(type == '1' ? QByteArray("S9030000FC") : record('8', 0, {}));
    for (int slipped = shape; slipped > 0 && !lines.isEmpty(); --slipped) {
        const auto at = in.ConsumeIntegralInRange<qsizetype>(0, lines.size());
        lines.insert(at, QByteArray::fromStdString(in.ConsumeRandomLengthString(40)));
    }
    return lines.join("\r\n") + (in.ConsumeBool() ? "\r\n" : "");
}

struct Host final : LoadEvents {};

// The port: what the loader writes reaches the emulated board at the speed set; the
// board's answers wait until the fuzzer lets them through.
class BoardLine final : public SerialLine {
public:
    bool open(const QString &device) override
    {
        m_open = !device.isEmpty();
        return m_open;
    }
    void close() override { m_open = false; }
    QString device() const override { return QStringLiteral("/dev/fuzz"); }
    void setSpeed(int baud) override { m_baud = baud; }
    void write(const Bytes &bytes) override
    {
        if (!m_open)
            return;
        if (bytes.size() >= 7 && bytes[0] == 'f' && bytes[5] == 0 && bytes[6] == 0 && bytes.size() == 9)
            fault("an empty frame went out");
        written += bytes.size();
        for (const auto &reply : board.receive(bytes, m_baud))
            pending.insert(pending.end(), reply.bytes.begin(), reply.bytes.end());
    }
    void clearInput() override { m_input.clear(); }
    Bytes readAll() override { return std::exchange(m_input, {}); }

    // The board's answers so far, or the given bytes, reach the loader.
    void deliver(const Bytes &bytes)
    {
        if (!m_open)
            return;
        m_input.insert(m_input.end(), bytes.begin(), bytes.end());
        emit received();
    }
    void lose()
    {
        if (m_open) {
            m_open = false;
            emit lost(QStringLiteral("fuzzed"));
        }
    }
    static void fault(const char *what)
    {
        std::fprintf(stderr, "serial run: %s\n", what);
        std::abort();
    }

    emu::BoardModel board;
    Bytes pending;
    std::size_t written = 0;

private:
    bool m_open = false;
    int m_baud = 9600;
    Bytes m_input;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "serialrun_fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir folder;
    static const bool entered = QDir::setCurrent(folder.path());
    (void)entered;

    FuzzedDataProvider in(data, size);
    const auto save = [](const char *file, const QByteArray &text) {
        QFile out(QString::fromLatin1(file));
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(text);
    };
    save("BootLdr.dwn", firmwareFile(in, '1', 0, 600));
    save("FlshLdr.dwn", firmwareFile(in, '2', 0x8000, 0x9000));
    save("App.hex", firmwareFile(in, '2', 0x10000, 0x20000));

    TimeSource::ManualTimeScope time;
    Host host;
    BoardLine line;
    SerialLoader loader(
        line, host, [](int port) { return port == 1 ? QStringLiteral("/dev/fuzz") : QString(); }, nullptr);
    for (int sector = 0; sector < 22; ++sector)
        loader.sectorMask().set(sector, in.ConsumeBool());
    loader.choosePort(1);
    const auto request = [&in] { return static_cast<SerialLoader::Request>(in.ConsumeIntegralInRange(0, 2)); };
    loader.start(QStringLiteral("App.hex"), request());

    for (int action = 0; action < 200 && in.remaining_bytes() > 0; ++action) {
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0:
        case 1:
        case 2: line.deliver(std::exchange(line.pending, {})); break; // the board answers
        case 3: line.pending.clear(); break;                          // ... or stays silent
        case 4: line.deliver(in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(1, 6))); break;
        case 5: line.lose(); break;
        case 6: loader.start(QStringLiteral("App.hex"), request()); break;
        case 7:
            if (in.ConsumeIntegralInRange(0, 15) == 0)
                loader.stop();
            break;
        case 8: line.board.powerCycle(); break;
        default: time.clock().advance(in.ConsumeIntegralInRange(1, 5000)); break;
        }
    }

    // The board falls silent: every run ends within its watchdog's time, then nothing more goes out.
    for (int second = 0; second < 3 * SerialLoader::EraseWatchdogMs / 1000 + 10 && loader.running(); ++second)
        time.clock().advance(1000);
    if (loader.running())
        BoardLine::fault("a run did not end with the board silent");
    const std::size_t writtenAtEnd = line.written;
    time.clock().advance(10 * SerialLoader::EraseWatchdogMs);
    if (line.written != writtenAtEnd)
        BoardLine::fault("bytes went out after the run ended");
    return 0;
}
