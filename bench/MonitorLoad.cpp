// Runs one face of the bus monitor on the driver library (the emulator unless another one
// is found first) and prints the process's CPU share over SECONDS of steady capture (the
// first second, with its fonts and caches warming, is not counted) and its peak memory:
//   monitor_load floor|window|command|pcap SECONDS
// floor: the bare read loop at the designed pace (a read 1 ms after each answer, on the
// driver thread), records counted and nothing else: what any face costs at least.
// window: the monitor window capturing, with what became of every record.
// command: the monitor command, its rows written to standard output.
// pcap: the same, every row also written to a capture file (capture.pcap, here).
// The traffic rate is the scenario's: bench/monitor-load.sh writes one per rate.
// The sources of earlier revisions (bench/monitor-load.sh --against) name headers by their
// file alone.
#if __has_include("engines/monitor/CaptureCycle.h")
#include "driver/DriverThread.h"
#include "driver/LibraryDriver.h"
#include "driver/ModuleConnection.h"
#include "engines/monitor/CaptureCycle.h"
#if __has_include("engines/monitor/RowFeed.h")
#include "engines/monitor/RowFeed.h"
#endif
#include "terminal/Commands.h"
#include "windows/monitor/QwilMonWindow.h"
#else
#include "CaptureCycle.h"
#include "Commands.h"
#include "DriverThread.h"
#include "LibraryDriver.h"
#include "ModuleConnection.h"
#include "QwilMonWindow.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {
constexpr int WarmUpMs = 1000;

// The records captured (or the rows filtered), as the cycle of this revision or of an
// earlier one tells them.
template <typename Cycle> long long count(const Cycle &cycle, bool captured)
{
    if constexpr (requires { cycle.recordsCaptured(); })
        return captured ? cycle.recordsCaptured() : cycle.rowsFiltered();
    else
        return captured ? cycle.recordsCaptured : cycle.rowsFiltered;
}

// The process's CPU time from begin() to report().
class CpuShare {
public:
    void begin()
    {
        getrusage(RUSAGE_SELF, &m_before);
        m_wall.start();
    }
    void report() const
    {
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        const auto ms = [](const timeval &t) {
            return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
        };
        const double cpu = ms(after.ru_utime) - ms(m_before.ru_utime) + ms(after.ru_stime) - ms(m_before.ru_stime);
        std::fprintf(stderr, "cpu %.2f %% of one core over %.1f s; peak memory %ld KiB\n",
                     100.0 * cpu / static_cast<double>(m_wall.elapsed()),
                     static_cast<double>(m_wall.elapsed()) / 1000.0, after.ru_maxrss);
    }

private:
    rusage m_before{};
    QElapsedTimer m_wall;
};

int floorLoop(ModuleDriver &driver, int seconds)
{
    CpuShare share;
    if (!ModuleConnection::connect(driver, ConnectOptions::busMonitor()).connected)
        return 3;
    std::uint8_t result = 0;
    driver.QwilAnalyzer(1, 5, &result); // capture on, as the monitor switches it
    QObject receiver;
    long long records = 0;
    const ModuleConnection::ReadRun reads = ModuleConnection::readRun(
        driver, &receiver, CaptureCycle::WaitMs, CaptureCycle::CaptureTickMs,
        [&records](const std::vector<ModuleRecord> &batch) {
            for (const ModuleRecord &record : batch)
                records += record.result == DriverResult::Success ? 1 : 0;
        },
        [] { QCoreApplication::quit(); });
    QTimer::singleShot(WarmUpMs, [&] { share.begin(); });
    QTimer::singleShot(WarmUpMs + seconds * 1000, [&] {
        share.report();
        *reads.end = true;
    });
    QCoreApplication::exec();
    std::fprintf(stderr, "records delivered %lld\n", records);
    driver.QwilAnalyzer(0, 5, &result);
    driver.CloseUSBDriver();
    return 0;
}

int window(ModuleDriver &driver, int seconds)
{
    CpuShare share;
    // Quitting closes the window, which deletes itself on close.
    auto *monitor = new QwilMonWindow(driver);
    monitor->show();
    long long rows = 0;
#if __has_include("engines/monitor/RowFeed.h")
    QObject::connect(&monitor->rows(), &RowFeed::row, [&rows] { ++rows; });
#else
    QObject::connect(&monitor->cycle(), &CaptureCycle::line, [&rows] { ++rows; });
#endif
    constexpr int StartMs = 500;
    QTimer::singleShot(StartMs, [&] { monitor->Command9->click(); });
    QTimer::singleShot(StartMs + WarmUpMs, [&] { share.begin(); });
    QTimer::singleShot(StartMs + WarmUpMs + seconds * 1000, [&] {
        monitor->Command9->click();
        share.report();
        const CaptureCycle &cycle = monitor->cycle();
        std::fprintf(stderr, "records delivered %lld = rows kept %lld + rows filtered %lld\n", count(cycle, true), rows,
                     count(cycle, false));
        QApplication::quit();
    });
    return QApplication::exec();
}

// The capture file asked for; a revision from before capture files (measured with
// --against) has no such option, and the script does not ask it for the pcap face.
template <typename Options> void askForCaptureFile(Options &options)
{
    if constexpr (requires { options.pcapPath; })
        options.pcapPath = QStringLiteral("capture.pcap");
}

int command(ModuleDriver &driver, int seconds, bool pcap)
{
    CpuShare share;
    QTimer::singleShot(WarmUpMs, [&] { share.begin(); });
    MonitorOptions options;
    options.seconds = static_cast<double>(WarmUpMs) / 1000.0 + seconds;
    if (pcap)
        askForCaptureFile(options);
    const int status = runMonitor(driver, options);
    share.report();
    return status;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const char *mode = argc > 1 ? argv[1] : "window";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    LibraryDriver library;
    DriverThread driver(library);
    if (std::strcmp(mode, "floor") == 0)
        return floorLoop(driver, seconds);
    if (std::strcmp(mode, "command") == 0 || std::strcmp(mode, "pcap") == 0)
        return command(driver, seconds, std::strcmp(mode, "pcap") == 0);
    return window(driver, seconds);
}
