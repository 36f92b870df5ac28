// The network scan on its own, on the emulated bus and the manual clock: what it reports
// of each address and how it leaves the module.
#include "engines/flash/NetworkScan.h"
#include "EmulatedBus.h"
#include "driver/ModuleConnection.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

TEST(NetworkScan, ReportsEveryAddressAndSetsTheBusBack)
{
    const std::string checks = "device 1 type 2315 rev 0200 name \"GOOD\"\n"
                               "device 2 type 2315 config wrong-address\n"
                               "device 3 type 2315 config wrong-code\n"
                               "device 4 type 2315 config wrong-length\n"
                               "device 5 type 2315 config long\n"
                               "device 6 type 2315 rev 0101 name \"RETRY\" config retry-only\n"
                               "device 7 type 2507 rev 0102 name \"LATE\" config late delay 300\n"
                               "device 8 type 2315 silent\n";
    const QString blank(20, QLatin1Char(' '));
    struct Case {
        std::string scenario;
        int highest;
        int stopAfter; // rows reported before the stop is asked for; 0: never
        QStringList rows;
        std::int32_t lostWith;
    };
    const std::string lost = "device 1 type 2315 rev 0200 name \"ONE\"\ndevice 3 type 2315 name \"THREE\"\n"
                             "fault unplug-on GetConfigData 2\n";
    const std::string transient = "device 1 type 2315 rev 0200 name \"ONE\"\ndevice 2 type 2315 name \"TWO\"\n"
                                  "device 3 type 2315 name \"THREE\"\n"
                                  "fault result GetConfigData 5 on 2\nfault result GetConfigData 5 on 3\n";
    const std::string setBackFails = "device 1 type 2315 rev 0200 name \"ONE\"\nfault result ConfigQwil 5 on 2\n";
    const QString one = u"  1 ONE   2315  0200   "_s, good = u"  1 GOOD  2315  0200   "_s;
    // clang-format off
    const Case cases[] = {
        // Replies that fail the check leave their rows blank; a retry or a late reply counts.
        {checks, 8, 0, {good, "  2" + blank, "  3" + blank, "  4" + blank, "  5" + blank,
                        "  6 RETRY 2315  0101   ", "  7 LATE  2507  0102   ", "  8" + blank}, 0},
        // The module lost at the second address: the rest are blank and the loss is told.
        {lost, 4, 0, {one, "  2" + blank, "  3" + blank, "  4" + blank}, DriverResult::UsbError},
        // One address's request and retry failing while the module goes on answering leaves
        // that row blank: the module is not lost.
        {transient, 3, 0, {one, "  2" + blank, "  3 THREE 2315  0000   "}, 0},
        // The module that fails the bus's setting back is lost, every device listed.
        {setBackFails, 2, 0, {one, "  2" + blank}, DriverResult::UsbError},
        // A stop ends the scan after the address in hand.
        {checks, 8, 2, {good, "  2" + blank}, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows.join(QLatin1Char('|')).toStdString());
        EmulatedBus bus(scenarioFrom(c.scenario));
        ASSERT_TRUE(ModuleConnection::connect(bus.driver, ConnectOptions::flashLoader()).connected);
        NetworkScan scan(bus.driver, nullptr);
        scan.setMaxAddressSource([&c] { return c.highest; });
        QStringList rows;
        int progressed = 0, finished = 0;
        QObject::connect(&scan, &NetworkScan::progressed, [&] { ++progressed; });
        QObject::connect(&scan, &NetworkScan::ended, [&] { ++finished; });
        QObject::connect(&scan, &NetworkScan::deviceScanned, [&](const ScanRules::ScannedDevice &device) {
            rows << ScanRules::row(device);
            if (rows.size() == c.stopAfter)
                scan.requestStop();
        });
        ASSERT_TRUE(scan.begin(c.highest));
        for (int spent = 0; finished == 0 && spent < 60000; spent += 10)
            bus.advance(10);

        EXPECT_EQ(finished, 1);
        EXPECT_FALSE(scan.running());
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(progressed, rows.size());
        EXPECT_EQ(scan.moduleLostWith(), c.lostWith);
        std::vector<std::vector<long long>> configs;
        for (const auto &call : bus.emulator.trace().calls("ConfigQwil"))
            configs.push_back(call.arguments);
        EXPECT_EQ(configs, (std::vector<std::vector<long long>>{{0, 1, c.highest}, {1000, 1, c.highest}}));
        // The last drain runs after the bus is set back.
        const auto &entries = bus.emulator.trace().entries();
        const auto setBack = std::find_if(entries.rbegin(), entries.rend(),
                                          [](const emu::TraceEntry &e) { return e.name == "ConfigQwil"; });
        EXPECT_TRUE(std::any_of(entries.rbegin(), setBack, [](const emu::TraceEntry &e) {
            return e.name == "GetData" && e.arguments.front() == NetworkScan::FinalDrainWaitMs;
        }));
    }

    // Beyond the scan's range nothing is sent.
    EmulatedBus bus;
    NetworkScan scan(bus.driver, nullptr);
    EXPECT_FALSE(scan.begin(ScanRules::MaxScanAddress + 1));
    EXPECT_TRUE(bus.emulator.trace().entries().empty());
}
