#pragma once

#include "AddressKeypad.h"
#include "DebugDump.h"
#include "DeviceLoadSequence.h"
#include "DownloadEngine.h"
#include "FlashLoaderOptions.h"
#include "FlashUtilityForm.h"
#include "ModuleDriver.h"
#include "ToolWindow.h"

#include <cstdint>
#include <span>

class NetworkScan;
class SerialLoader;

// The flash loader window: loads firmware into bus devices and into the module.
// This class wires the form's controls to the scan, the status rules and the load steps.
class FlashUtilityWindow final : public ToolWindow, private LoadHost, private FirmwareSource {
    Q_OBJECT
public:
    explicit FlashUtilityWindow(ModuleDriver &driver, FlashLoaderOptions options = {}, QWidget *parent = nullptr);

    FlashUtilityForm form;

    // Window state, named as the load steps name it.
    bool moduleConnected() const { return m_moduleConnected; }
    bool directFileMode() const override { return m_directFileMode; }
    int deviceAddress() const { return m_deviceAddress; }
    bool scanRunning() const { return m_scanRunning; }
    bool loadBusy() const { return m_engine->loadBusy(); }
    SerialLoader &serialLoader() { return *m_serial; }
    bool loadRunning() const { return m_engine->running(); }
    bool knownType() const { return m_knownType; }
    const QString &loadFileName() const { return m_loadFileName; }

signals:
    // The result of the last CloseUSBDriver call at unload, 0 when none was made.
    void closeResult(int result);

protected:
    void unloadWindow() override;
    bool deferClose() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Start and layouts.
    void loadWindow();
    void startupStep();
    void modeBoxClicked();
    bool workInHand() const;
    void applyModeLayout();
    void applyUsbLayout();
    void applyComPortLayout();
    void optionClicked(int option);
    void enterDeviceMode();
    void enterModuleMode();
    void toggleDirectFileMode();
    void setWindowHeight(int twips);
    void showEngineeringControls();
    void wireCommPort();
    void showSectorSelector(bool shown);
    void setSectors(int first, int last, bool ticked);
    void serialRunning(bool running);
    void writeTable(int table);

    // What the download engine asks of the window.
    bool deviceMode() const override;
    bool debugOn() const override;
    DownloadMessages::ImageType imageType() const override;
    bool pauseTicked() const override;
    void dumpHex(std::span<const std::uint8_t> bytes) override;
    void appendDebug(const QString &text) override { appendDebugText(text); }
    void showStatus(const QString &text, Colour colour) override;
    void setStatusColour(Colour colour) override;
    void showLoadStatus(int code) override;
    void setProgress(int value, int maximum) override;
    void stepProgress() override;
    void completeProgress() override;
    void enableLoadButtons() override;
    void moduleRestarted() override;

    // What the load sequence asks of the window.
    Answer fileFor(const DeviceSelection::Choice &device) override;

    // Module link.
    void connectModule();
    void checkUsbLink(std::function<void()> whenLinked);
    void reconnectStep();
    void promptStep();

    // Scan.
    void scanClicked();
    void startScan();
    void maxAddressChanged();
    void scanProgressed();
    void scanFinished();

    // Load button and its helpers.
    void loadClicked();
    void startLoad();
    void startChosenFile(const QString &file, bool disableLoadButton);
    void startDirectFile();
    QString chosenFile() const;
    void startDevices();
    void deviceEnded(int index, const DeviceResult &result);
    void offerConnectUsb();
    void deviceListClicked();
    void fileListClicked();
    void pauseClicked();
    void keypadPressed(int key);
    void deviceAddressChanged(const QString &text);

    // Debug.
    void appendDebugText(const QString &text);

    ModuleDriver &m_driver;
    FlashLoaderOptions m_options;
    NetworkScan *m_scan;
    DownloadEngine *m_engine;
    DeviceLoadSequence *m_sequence;
    SerialLoader *m_serial;
    AddressKeypad m_keypad;
    DebugLogFile m_log;

    bool m_moduleConnected = false;
    bool m_directFileMode = false;
    bool m_knownType = true;
    bool m_scanRunning = false;
    bool m_closePending = false;
    int m_deviceAddress = 1;
    QString m_loadFileName;
    std::vector<ScanRules::ScannedDevice> m_scanned; // the device list's rows
    QString m_logProblem; // why "Debuginfo.txt" cannot be written, when it cannot
};
