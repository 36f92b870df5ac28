#pragma once

#include "DownloadEngine.h"
#include "LoadStatus.h"
#include "TerminalProgress.h"

#include <functional>

// SIGINT and SIGTERM are caught while one of these lives: a command ends what it has in
// hand cleanly instead of dying.
class InterruptCatcher {
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher &) = delete;
    InterruptCatcher &operator=(const InterruptCatcher &) = delete;
    static bool interrupted();
};

// Runs the event loop until done is set (true) or the user interrupts (false).
bool waitUntilDone(const bool &done);

// What a loader (the download engine, the serial loader) tells a window, told on a
// terminal: the status texts with a progress bar on standard error, and when a device or
// the whole load is over.
class TerminalLoad final : public LoadHost {
public:
    explicit TerminalLoad(bool devices) : m_devices(devices) {}

    std::function<void()> deviceDone; // the device's load completed
    std::function<void()> ended;      // the load stopped: completed (module) or failed

    QString lastStatus;
    Colour lastColour = Colour::Information;

    bool deviceMode() const override { return m_devices; }
    bool directFileMode() const override { return false; }
    DownloadMessages::ImageType imageType() const override { return DownloadMessages::ImageType::Application; }
    bool debugOn() const override { return false; }
    bool pauseTicked() const override { return false; }
    void dumpHex(std::span<const std::uint8_t>) override {}
    void appendDebug(const QString &) override {}
    void showStatus(const QString &text, Colour colour) override
    {
        lastStatus = text;
        lastColour = colour;
        m_progress.show(text, m_value, m_maximum);
    }
    void setStatusColour(Colour colour) override { lastColour = colour; }
    void showLoadStatus(int code) override
    {
        showStatus(LoadStatus::text(code), Colour::Error);
        enableLoadButtons();
    }
    void setProgress(int value, int maximum) override
    {
        m_value = value;
        m_maximum = maximum;
        m_progress.show(lastStatus, m_value, m_maximum);
    }
    void stepProgress() override { setProgress(std::min(m_value + 1, m_maximum), m_maximum); }
    void completeProgress() override { setProgress(m_maximum, m_maximum); }
    void enableLoadButtons() override
    {
        m_progress.finish();
        if (ended)
            ended();
    }
    void moduleRestarted() override {}
    // Ends the progress line, so that what follows starts on a line of its own.
    void endProgressLine() { m_progress.finish(); }
    void nextDeviceStep() override
    {
        m_progress.finish();
        if (deviceDone)
            deviceDone();
    }

private:
    bool m_devices;
    int m_value = 0;
    int m_maximum = 100;
    TerminalProgress m_progress{stderr};
};
