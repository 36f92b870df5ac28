#include "QtPrinters.h"
#include "core/FormTimer.h"
#include "core/TimeSource.h"

#include <gtest/gtest.h>

#include <QVariant>

#include <vector>

TEST(ManualClock, FiresAlarmsInDueOrderAsTimeAdvances)
{
    ManualClock clock;
    std::vector<int> fired;
    clock.addAlarm(30, [&] { fired.push_back(30); });
    clock.addAlarm(10, [&] { fired.push_back(10); });
    const auto cancelled = clock.addAlarm(20, [&] { fired.push_back(20); });
    clock.cancelAlarm(cancelled);

    clock.advance(15);
    EXPECT_EQ(fired, std::vector<int>({10}));
    EXPECT_EQ(clock.nowMs(), 15);
    clock.advance(100);
    EXPECT_EQ(fired, std::vector<int>({10, 30}));
    EXPECT_EQ(clock.nowMs(), 115);
}

TEST(ManualClock, ABlockingWaitMakesTimersLateButDoesNotFireThem)
{
    ManualClock clock;
    int fired = 0;
    clock.addAlarm(50, [&] { ++fired; });
    clock.sleepMs(200);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(clock.nowMs(), 200);
    clock.advance(0);
    EXPECT_EQ(fired, 1);
}

TEST(FormTimer, RunsOnTheManualClockWhenATestInstallsOne)
{
    TimeSource::ManualTimeScope time;
    FormTimer periodic(u"Timer1"_s, 1000, nullptr);
    FormTimer oneShot(u"Timer22"_s, 3000, nullptr);
    oneShot.setSingleShot(true);
    int ticks = 0;
    int prompts = 0;
    QObject::connect(&periodic, &FormTimer::timeout, [&] { ++ticks; });
    QObject::connect(&oneShot, &FormTimer::timeout, [&] { ++prompts; });
    periodic.setEnabled(true);
    oneShot.setEnabled(true);

    time.clock().advance(999);
    EXPECT_EQ(ticks, 0);
    time.clock().advance(1);
    EXPECT_EQ(ticks, 1);
    time.clock().advance(5000);
    EXPECT_EQ(ticks, 6);
    EXPECT_EQ(prompts, 1);
    EXPECT_FALSE(oneShot.isEnabled());

    // Re-enabling restarts the countdown from now.
    periodic.setEnabled(false);
    periodic.setEnabled(true);
    time.clock().advance(500);
    EXPECT_EQ(ticks, 6);
    periodic.setInterval(100);
    time.clock().advance(100);
    EXPECT_EQ(ticks, 7);
    EXPECT_EQ(periodic.objectName(), "Timer1");

    // Inspection reads a form's timers as it reads a QTimer's, and cannot set them.
    EXPECT_EQ(periodic.property("interval").toInt(), 100);
    EXPECT_TRUE(periodic.property("active").toBool());
    EXPECT_FALSE(periodic.property("singleShot").toBool());
    EXPECT_EQ(oneShot.property("interval").toInt(), 3000);
    EXPECT_FALSE(oneShot.property("active").toBool());
    EXPECT_TRUE(oneShot.property("singleShot").toBool());
    EXPECT_FALSE(periodic.setProperty("interval", 5));
    EXPECT_EQ(periodic.interval(), 100);

    // Held, it stays enabled and silent, whatever is set meanwhile; released, it counts afresh.
    periodic.hold();
    periodic.setEnabled(false);
    periodic.setEnabled(true);
    periodic.setInterval(50);
    time.clock().advance(1000);
    EXPECT_EQ(ticks, 7);
    EXPECT_TRUE(periodic.isEnabled());
    periodic.release();
    time.clock().advance(49);
    EXPECT_EQ(ticks, 7);
    time.clock().advance(1);
    EXPECT_EQ(ticks, 8);
}
