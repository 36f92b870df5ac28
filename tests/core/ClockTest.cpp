#include "QtPrinters.h"
#include "core/FormTimer.h"
#include "core/TimeSource.h"

#include <gtest/gtest.h>

#include <QVariant>

#include <vector>

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

    // Inspection reads a form's timers as it reads a QTimer's, and cannot set them.
    EXPECT_TRUE(periodic.property("active").toBool());
    EXPECT_FALSE(periodic.setProperty("interval", 5));
    EXPECT_EQ(periodic.property("interval").toInt(), 100);
    // How a held timer waits out a pause is the load-fault tests' (Pause at every step).
}
