#pragma once

#include "core/Job.h"
#include "driver/ModuleConnection.h"
#include "driver/ModuleDriver.h"
#include "engines/flash/ScanRules.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class FormTimer;

// The network scan: asks every address from 1 up to the highest for its configuration
// and reports what it learned of each address. Each address is one submitted step, so
// the window stays free while the devices are asked and a stop request is seen between
// addresses.
class NetworkScan final : public Job {
    Q_OBJECT
public:
    static constexpr int StartDelayMs = 100;
    static constexpr int DrainWaitMs = 100;
    static constexpr int ExtraReadWaitMs = 1000;
    static constexpr int FinalDrainWaitMs = 500;
    static constexpr int ModuleDrainWaitMs = 1000;
    static constexpr std::int32_t ScanBusValue = 0;
    static constexpr std::int32_t IdleBusValue = 1000;
    static constexpr std::uint8_t BusSecond = 1;
    // Every record fits: a record is at most 100 bytes and its check byte follows.
    static constexpr std::size_t BufferSize = 101;

    NetworkScan(ModuleDriver &driver, QObject *parent);

    // Where the scan reads the highest address (the box's value) and the debug switch.
    void setMaxAddressSource(std::function<int()> source) { m_maxAddress = std::move(source); }
    void setDebug(bool on) { m_debugOn = on; }

    // Sets the bus up for a scan up to highest and starts it; false, with nothing sent,
    // when highest is beyond the scan's range.
    bool begin(int highest);
    // Reads and discards everything the module has queued (a long wait), then starts
    // the scan engine shortly.
    void start();
    // Lets the address in hand finish, then ends the scan.
    void requestStop();
    bool isRunning() const { return m_running; }
    // From start() until ended: also while a stopped scan completes its address.
    bool running() const override { return m_active; }
    void cancel() override { requestStop(); }
    // The driver's answer when the module was lost during the last scan (the rows from
    // there on are blank): it failed an address and the bus's setting back, or that
    // setting alone. 0 when it stayed there, also when one address failed on its own.
    std::int32_t moduleLostWith() const { return m_moduleLostWith; }

signals:
    void progressed();
    void deviceScanned(const ScanRules::ScannedDevice &device);
    void dump(const std::vector<std::uint8_t> &bytes);
    void debugCleared();
    void debugNote(const QString &text);

private:
    struct AddressAnswer;

    void run();
    void scanFrom(int address);
    void scanAddress(int address, int timeoutMs);
    static void ask(ModuleDriver &driver, int address, int timeoutMs, AddressAnswer &answer);
    void setBusBack();
    void end();
    void dumpIfDebug(std::span<const std::uint8_t> bytes);
    void dumpAll(const ModuleConnection::Records &records);
    bool debugOn() const { return m_debugOn; }

    ModuleDriver &m_driver;
    FormTimer *m_startDelay; // from the drain before the scan to its first address
    std::function<int()> m_maxAddress;
    bool m_debugOn = false;
    int m_lastAddress = 0;
    int m_timeoutMs = 0;
    bool m_running = false;
    bool m_active = false;
    bool m_stopRequested = false;
    std::int32_t m_moduleLostWith = 0;
};
