// The capture cycle on its own, as the monitor command and the window both drive it: on
// the emulated bus and the manual clock, and on the real driver thread for its end.
#include "engines/monitor/CaptureCycle.h"
#include "EmulatedBus.h"
#include "QtPrinters.h"
#include "ThreadedBus.h"
#include "WorkingFolder.h"
#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "engines/monitor/RowFeed.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QTest>

#include <algorithm>

namespace {

// A cycle started as the command starts it; every row it makes is kept.
struct Capture {
    explicit Capture(ModuleDriver &driver, const QString &addresses = {}, const QString &commands = {},
                     const QString &log = {})
        : logName(log), cycle(driver, &owner), feed(cycle, QLocale::c(), &owner)
    {
        cycle.setAbsoluteTime(true);
        QObject::connect(&feed, &RowFeed::row, [this](const QString &row) { rows.append(row); });
        QObject::connect(&cycle, &CaptureCycle::driverError, [this](int code) { errors.append(code); });
        cycle.connectModule(
            false, [this](const ConnectOutcome &o) { connected = o.connected; },
            [this, addresses, commands] {
                if (!logName.isEmpty())
                    logOpen = feed.openLog(logName);
                cycle.startRun(addresses, commands);
            });
    }
    QStringList logged() const
    {
        QStringList lines = QString::fromLatin1(folder.read(logName)).split(u"\r\n"_s);
        lines.removeLast();
        return lines;
    }

    WorkingFolder folder;
    QString logName;
    QObject owner;
    CaptureCycle cycle;
    RowFeed feed;
    QStringList rows;
    QList<int> errors;
    bool connected = false, logOpen = false;
};

const char *const FullBus = "device 1 type 2315\ndevice 2 type 4008\ndevice 5 type 0147\ntraffic 400\n";

} // namespace

// At 400 messages a second the cycle keeps up: every record the module delivered is a row
// or was hidden by a filter, and no row shows what the filters hide.
TEST(CaptureCycle, EveryRecordIsARowOrFilteredAndTheCycleKeepsUp)
{
    struct Case {
        const char *addresses, *commands;
        int column; // of the field a filter hides: 12 the address, 26 the command
        QStringList hidden;
    };
    const Case cases[] = {
        {"", "", 12, {}},
        {"02", "", 12, {"02"}},
        {"05 0A", "", 12, {"05", "0A"}},
        {"", "C0 A9", 26, {"C0", "A9"}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(std::string(k.addresses) + "/" + k.commands);
        EmulatedBus bus(scenarioFrom(FullBus));
        Capture c(bus.driver, QString::fromLatin1(k.addresses), QString::fromLatin1(k.commands));
        bus.advance(ModuleConnection::DrainWaitMs + 10);
        ASSERT_TRUE(c.connected);
        ASSERT_TRUE(c.cycle.running());
        for (int second = 0; second < 3; ++second) {
            bus.advance(1000);
            EXPECT_LE(bus.emulator.queuedRecords(), 2u) << "the cycle falls behind";
        }
        c.cycle.end(true);
        EXPECT_GE(c.cycle.recordsCaptured(), 1100);
        EXPECT_EQ(bus.emulator.capturedRecordsDelivered(), c.cycle.recordsCaptured());
        EXPECT_EQ(c.cycle.recordsCaptured(), c.rows.size() + c.cycle.rowsFiltered());
        EXPECT_EQ(c.cycle.rowsFiltered() > 0, !k.hidden.isEmpty());
        for (const QString &row : std::as_const(c.rows))
            EXPECT_FALSE(k.hidden.contains(row.mid(k.column, 2))) << row.toStdString();
        EXPECT_FALSE(bus.emulator.isCapturing());
        EXPECT_FALSE(bus.emulator.isOpen());
    }
}

// A lost module is told on every tick it is read; nothing else is read.
TEST(CaptureCycle, ALostModuleIsToldAsTheDriversAnswer)
{
    EmulatedBus bus(scenarioFrom("device 1 type 2315\ntraffic 20\n"));
    Capture c(bus.driver);
    bus.advance(ModuleConnection::DrainWaitMs + 200);
    ASSERT_FALSE(c.rows.isEmpty());
    bus.emulator.unplug();
    bus.advance(5);
    ASSERT_GE(c.errors.size(), 2);
    EXPECT_EQ(c.errors.count(5), c.errors.size()) << "the USB link error";
}

// Ended or stopped while a full bus is read on the driver thread, as the command ends on
// an interrupt and the window's Stop stops: the records of the read still out become rows
// and log lines before the log closes, so every record the module delivered is in the
// log; an end lets the module go.
TEST(CaptureCycle, EndingOrStoppingKeepsTheReadInHandInTheLog)
{
    for (const bool end : {true, false}) {
        SCOPED_TRACE(end ? "end" : "stop");
        ThreadedBus bus(scenarioFrom(FullBus));
        Capture c(bus.thread, {}, {}, u"ending.mon"_s);
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.rows.size() >= 200; }, 5000));
        ASSERT_TRUE(c.logOpen);
        bool closed = false;
        if (end) {
            c.cycle.end(true);
            c.feed.closeLog();
            closed = true;
        } else {
            c.cycle.stopCapture();
            c.cycle.afterLastRead([&] {
                c.feed.closeLog();
                closed = true;
            });
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 2000));
        bus.calls(); // the driver thread is idle
        EXPECT_EQ(c.logged().size(), bus.emulator.capturedRecordsDelivered());
        EXPECT_EQ(c.logged(), c.rows);
        EXPECT_EQ(bus.emulator.isOpen(), !end);

        // The rows are the bus's messages in order, none missing, each timed by its own
        // answer: times rise, and a batch of records is not one time.
        QStringList onTheBus, shown;
        for (const emu::Bytes &message : bus.emulator.trace().busMessages())
            onTheBus << TextFormat::hexBytes(message);
        QList<double> times;
        for (const QString &row : std::as_const(c.rows)) {
            shown << row.mid(12, 10) + row.mid(26, 53).trimmed();
            times << row.left(9).trimmed().toDouble();
        }
        const qsizetype first = onTheBus.indexOf(shown.first());
        ASSERT_GE(first, 0);
        EXPECT_EQ(onTheBus.mid(first, shown.size()), shown);
        EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
        EXPECT_GT(QSet<double>(times.begin(), times.end()).size(), c.rows.size() / 2);
    }
}
