#pragma once

#include "driver/ModuleDriver.h"
#include "engines/flash/AddressKeypad.h"
#include "engines/flash/DeviceLoadSequence.h"
#include "engines/flash/DownloadEngine.h"
#include "engines/flash/FlashLoaderOptions.h"
#include "windows/flash/FlashDebugPane.h"
#include "windows/flash/FlashStatusDisplay.h"
#include "windows/flash/FlashUtilityForm.h"
#include "windows/flash/ModuleLinkControl.h"
#include "windows/flash/ScanControls.h"
#include "windows/shared/ToolWindow.h"

#include <cstdint>
#include <span>

class CommPortControls;
class NetworkScan;
class SerialLoader;

// The flash loader window: loads firmware into bus devices and into the module.
// This class wires the form's controls to the load steps and switches the modes; the
// status line, the module link, the scan, Comm Port mode and the debug box are parts it owns.
class FlashUtilityWindow final : public ToolWindow, private LoadEvents, private FirmwareSource {
    Q_OBJECT
public:
    explicit FlashUtilityWindow(ModuleDriver &driver, FlashLoaderOptions options = {}, QWidget *parent = nullptr);

    FlashUtilityForm form;

    // Window state, named as the load steps name it.
    bool moduleConnected() const { return m_link->connected(); }
    bool directFileMode() const { return m_directFileMode; }
    int deviceAddress() const { return m_deviceAddress; }
    bool scanRunning() const { return m_scanControls->running(); }
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
    void wireEngines();
    void wireControls();
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

    // What the loads tell the window, and what it tells them.
    void status(const QString &text, Tone tone) override { showStatus(text, FlashStatusDisplay::colourOf(tone)); }
    void working() override { m_status.setColour(Colour::Information); }
    void progress(int done, int total) override { m_status.setProgress(done, total); }
    void loadStatus(int code) override { showLoadStatus(code); }
    void debugBytes(std::span<const std::uint8_t> bytes) override { m_debug.dump(bytes); }
    void debugText(const QString &text) override { appendDebugText(text); }
    void moduleRestarted() override;
    void showLoadStatus(int code);
    using Colour = FlashStatusDisplay::Colour;
    void showStatus(const QString &text, Colour colour) { m_status.show(text, colour); }

    // What the load sequence asks of the window.
    Answer fileFor(const DeviceSelection::Choice &device) override;

    // Load button and its helpers.
    void loadClicked();
    void startLoad();
    void startChosenFile(const QString &file);
    void refreshLoadButtons();
    void startDirectFile();
    QString chosenFile() const;
    void startDevices();
    void deviceEnded(int index, const DeviceResult &result);
    void deviceListClicked();
    void showScanLayoutAgain();
    void fileListClicked();
    void pauseClicked();
    void deviceAddressChanged(const QString &text);

    void appendDebugText(const QString &text) { m_debug.append(text); }

    ModuleDriver &m_driver;
    FlashLoaderOptions m_options;
    NetworkScan *m_scan;
    DownloadEngine *m_engine;
    DeviceLoadSequence *m_sequence;
    SerialLoader *m_serial;
    FlashStatusDisplay m_status;
    ModuleLinkControl *m_link;
    CommPortControls *m_commPort;
    ScanControls *m_scanControls;
    FlashDebugPane m_debug;
    AddressKeypad m_keypad;

    bool m_directFileMode = false;
    bool m_loadsModule = false; // the "Module" option's layout: the load button loads the module
    bool m_knownType = true;
    bool m_closePending = false;
    bool m_loadStarting = false;  // the load button was clicked; the link check and the flush are out
    bool m_fileListAsked = false; // the file list shows in place of the scan's controls for a device's file
    int m_deviceAddress = 1;
    QString m_loadFileName;
};
