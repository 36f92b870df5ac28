// How long the program's windows take to answer input while the bus is polled. The
// control panel is started on the driver library as the program starts it, a tool is
// opened from it as a technician would, and a probe thread posts an event to the window
// thread every 5 ms; the time from post to delivery is the window's answer time.
//   input_latency monitor-idle|monitor-busy|dome-idle|dome-keys|dome-dead-close|device-load SECONDS
// The bus is the scenario bench/input-latency.sh writes for each case.
#include "driver/DriverThread.h"
#include "driver/LibraryDriver.h"
#include "windows/dome/DomeControlWindow.h"
#include "windows/flash/FlashUtilityWindow.h"
#include "windows/monitor/QwilMonWindow.h"
#include "windows/panel/PanelWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class ProbeEvent final : public QEvent {
public:
    static inline const Type Kind = static_cast<Type>(QEvent::registerEventType());
    ProbeEvent() : QEvent(Kind), posted(Clock::now()) {}
    Clock::time_point posted;
};

// Collects answer times while measuring is on.
class Probe final : public QObject {
public:
    std::atomic<bool> measuring{false};
    std::vector<double> answersMs;

    bool event(QEvent *e) override
    {
        if (e->type() != ProbeEvent::Kind)
            return QObject::event(e);
        if (measuring) {
            const auto posted = static_cast<ProbeEvent *>(e)->posted;
            answersMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
        }
        return true;
    }

    void report(const char *what) const
    {
        std::vector<double> sorted = answersMs;
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&](double share) {
            return sorted.empty()
                       ? 0.0
                       : sorted[std::min(sorted.size() - 1,
                                         static_cast<std::size_t>(share * static_cast<double>(sorted.size())))];
        };
        std::printf("%-13s answers %6zu  median %6.1f ms  p95 %6.1f ms  max %6.1f ms\n", what, sorted.size(), at(0.5),
                    at(0.95), sorted.empty() ? 0.0 : sorted.back());
    }
};

template <typename Window> Window *openedTool()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *tool = qobject_cast<Window *>(w))
            return tool;
    }
    return nullptr;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("monitor-idle");
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;

    // As the program starts: the library behind the driver thread.
    LibraryDriver library;
    DriverThread driver(library);
    PanelWindow panel(driver);
    panel.show();

    Probe probe;
    QElapsedTimer run;
    std::atomic<bool> posting{true};
    std::thread poster([&] {
        while (posting) {
            QCoreApplication::postEvent(&probe, new ProbeEvent);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    // Steps a technician takes, at the given times from start; measuring spans the run.
    const auto at = [](int ms, auto step) { QTimer::singleShot(ms, step); };
    int runStartMs = 1500;
    if (mode.startsWith(QLatin1String("monitor"))) {
        at(200, [&] { panel.Command2->click(); });
        at(runStartMs, [] { openedTool<QwilMonWindow>()->Command9->click(); });
    } else if (mode.startsWith(QLatin1String("dome"))) {
        at(200, [&] { panel.Command3->click(); });
        // Dome 7 is absent: thirty quick "Flip"s, each failing after 100 ms, then the window
        // closed and opened again; how long that takes is what the technician waits.
        if (mode == QLatin1String("dome-dead-close")) {
            at(600, [] {
                DomeControlForm &f = openedTool<DomeControlWindow>()->form;
                f.Command15[6]->click();
                f.Command15[9]->click();
            });
            at(runStartMs, [] {
                QPushButton *flip = openedTool<DomeControlWindow>()->form.Command22;
                const QPointF middle(flip->width() / 2.0, flip->height() / 2.0);
                for (int i = 0; i < 30; ++i) {
                    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                        QCoreApplication::postEvent(
                            flip, new QMouseEvent(type, middle, flip->mapToGlobal(middle), Qt::LeftButton,
                                                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                                  Qt::NoModifier));
                    }
                }
            });
            at(runStartMs + 100, [&] {
                QElapsedTimer closing;
                closing.start();
                openedTool<DomeControlWindow>()->close();
                panel.Command3->click();
                std::printf("%-13s closed and opened again in %lld ms\n", "dome-dead-close",
                            static_cast<long long>(closing.elapsed()));
            });
        }
        // A technician at the keys: "Flip" five times a second while the poll waits.
        if (mode == QLatin1String("dome-keys")) {
            auto *keys = new QTimer(&panel);
            QObject::connect(keys, &QTimer::timeout, [] { openedTool<DomeControlWindow>()->form.Command22->click(); });
            at(runStartMs, [keys] { keys->start(200); });
        }
    } else {
        runStartMs = 8000;
        at(200, [&] { panel.Command1->click(); });
        at(2500, [] {
            auto *loader = openedTool<FlashUtilityWindow>();
            loader->form.Text10->setText(QStringLiteral("3"));
            loader->form.Command9->click();
        });
        at(runStartMs, [] {
            auto *loader = openedTool<FlashUtilityWindow>();
            loader->form.List1->item(2)->setSelected(true);
            loader->form.Command1->click();
        });
    }
    rusage cpuBefore{};
    const auto finish = [&] {
        if (!probe.measuring)
            return;
        probe.measuring = false;
        probe.report(qPrintable(mode));
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        const auto ms = [](const timeval &t) {
            return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
        };
        const double cpu = ms(after.ru_utime) - ms(cpuBefore.ru_utime) + ms(after.ru_stime) - ms(cpuBefore.ru_stime);
        std::printf("%-13s cpu %.1f %% of one core (the probe's own posting included)\n", "",
                    100.0 * cpu / static_cast<double>(std::max<qint64>(run.elapsed(), 1)));
        if (auto *loader = openedTool<FlashUtilityWindow>())
            std::printf("%-13s status \"%s\" after %.1f s\n", "", qPrintable(loader->form.Text1->text()),
                        static_cast<double>(run.elapsed()) / 1000.0);
        QApplication::quit();
    };
    at(runStartMs, [&] {
        probe.measuring = true;
        getrusage(RUSAGE_SELF, &cpuBefore);
        run.start();
    });
    // A load is measured while it runs, at most for the time given.
    QTimer loadWatch;
    QObject::connect(&loadWatch, &QTimer::timeout, [&] {
        auto *loader = openedTool<FlashUtilityWindow>();
        if (probe.measuring && loader && loader->form.Text1->text().contains(QLatin1String("Complete")) &&
            !loader->form.Text1->text().startsWith(QLatin1String("Scan")))
            finish();
    });
    loadWatch.start(10);
    at(runStartMs + seconds * 1000, finish);
    const int status = QApplication::exec();
    posting = false;
    poster.join();
    return status;
}
