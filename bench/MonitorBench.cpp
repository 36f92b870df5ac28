// How fast the monitor turns captured records into rows, and what one capture tick costs.
#include "EmulatorDriver.h"
#include "core/FormTimer.h"
#include "core/TimeSource.h"
#include "emulator/Emulator.h"
#include "engines/monitor/CaptureCycle.h"
#include "engines/monitor/MonitorRows.h"
#include "engines/monitor/RowFeed.h"

#include <QCoreApplication>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// A pan command as captured: kind, two free bytes, the message, its check byte.
const std::vector<std::uint8_t> PanRecord{2, 0, 0, 0x05, 0xFA, 0x00, 0x01, 0x01, 0xC0, 0x81, 0x14, 0x00};

void DecodeAndFormatRow(benchmark::State &state)
{
    const QLocale locale = QLocale::system();
    double seconds = 0;
    for (auto _ : state) {
        seconds += 0.013;
        const QString row = MonitorRows::text(PanRecord, 11, MonitorRows::timeText(seconds, locale));
        benchmark::DoNotOptimize(row.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DecodeAndFormatRow);

// One capture tick per record: fetch, decode, format, filter and hand the row on.
void CaptureCyclePerRecord(benchmark::State &state)
{
    TimeSource::ManualTimeScope time;
    emu::Scenario scenario;
    emu::Emulator emulator(time.clock(), scenario);
    EmulatorDriver driver(emulator);
    QObject window;
    CaptureCycle cycle(driver, &window);
    long long rows = 0;
    RowFeed feed(cycle, QLocale::system(), &window);
    QObject::connect(&feed, &RowFeed::row, [&rows](const QString &) { ++rows; });
    emulator.OpenUSBDriver();
    std::uint8_t result = 0;
    emulator.QwilAnalyzer(1, 5, &result);
    cycle.startRun(QStringLiteral("0A"), QString());
    const emu::Bytes message(PanRecord.begin() + 3, PanRecord.end() - 1);
    for (auto _ : state) {
        state.PauseTiming();
        emulator.queueRecord(emu::RecordKind::BusMessage, message);
        state.ResumeTiming();
        time.clock().advance(CaptureCycle::CaptureTickMs);
    }
    state.SetItemsProcessed(rows);
}
BENCHMARK(CaptureCyclePerRecord);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
