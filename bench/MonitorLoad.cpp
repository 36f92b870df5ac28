// Runs the bus monitor window on the driver library (the emulator unless another one is
// found first) with capture on, then prints the process's CPU share over SECONDS of steady
// capture (the first second of the capture, with its fonts and caches warming, is not
// counted), its peak memory and what became of every record: monitor_load SECONDS
// The traffic rate is the scenario's: bench/monitor-load.sh writes one per rate.
#include "CaptureCycle.h"
#include "DriverThread.h"
#include "LibraryDriver.h"
#include "QwilMonWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    LibraryDriver library;
    DriverThread driver(library);
    // Quitting closes the window, which deletes itself on close.
    auto *monitor = new QwilMonWindow(driver);
    QwilMonWindow &window = *monitor;
    window.show();

    long long rows = 0;
    QObject::connect(&window.cycle(), &CaptureCycle::line, [&rows] { ++rows; });
    QElapsedTimer wall;
    rusage before{};
    constexpr int StartMs = 500;
    constexpr int WarmUpMs = 1000;
    QTimer::singleShot(StartMs, [&] { window.Command9->click(); });
    QTimer::singleShot(StartMs + WarmUpMs, [&] {
        getrusage(RUSAGE_SELF, &before);
        wall.start();
    });
    QTimer::singleShot(StartMs + WarmUpMs + seconds * 1000, [&] {
        window.Command9->click();
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        const auto ms = [](const timeval &t) {
            return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
        };
        const double cpu = ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) - ms(before.ru_stime);
        const CaptureCycle &cycle = window.cycle();
        std::printf("cpu %.1f %% of one core over %.1f s; peak memory %ld KiB\n",
                    100.0 * cpu / static_cast<double>(wall.elapsed()), static_cast<double>(wall.elapsed()) / 1000.0,
                    after.ru_maxrss);
        std::printf("records delivered %lld = rows kept %lld + rows filtered %lld\n", cycle.recordsCaptured, rows,
                    cycle.rowsFiltered);
        QApplication::quit();
    });
    return QApplication::exec();
}
