#pragma once

#include "ModuleDriver.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class FormTimer;

// The network scan: asks every address from 1 up to the highest for its configuration
// and reports one device-list row per address. It runs as one blocking loop that lets
// the window breathe once per address, so a stop request is seen between addresses.
class NetworkScan final : public QObject {
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
    void setDebugSource(std::function<bool()> source) { m_debugOn = std::move(source); }

    // Starts the scan engine shortly, after the click handler has returned.
    void start();
    // Lets the address in hand finish, then ends the scan.
    void requestStop();
    bool isRunning() const { return m_running; }
    // From start() until finished(): also while a stopped scan completes its address.
    bool isActive() const { return m_active; }

    // Reads and discards everything the module has queued (long waits).
    void drainModule();

signals:
    void started();
    void progressed();
    void rowScanned(const QString &row);
    void dump(const std::vector<std::uint8_t> &bytes);
    void debugCleared();
    void debugNote(const QString &text);
    // The last address is done and the module set back; the final drain follows.
    void completed();
    // Everything is done, the final drain included.
    void finished();

private:
    void run();
    void scanAddress(int address, int timeoutMs);
    void dumpIfDebug(std::span<const std::uint8_t> bytes);
    bool debugOn() const { return m_debugOn && m_debugOn(); }

    ModuleDriver &m_driver;
    FormTimer *m_timer17;
    std::function<int()> m_maxAddress;
    std::function<bool()> m_debugOn;
    std::vector<std::uint8_t> m_buffer;
    bool m_running = false;
    bool m_active = false;
    bool m_stopRequested = false;
};
