#pragma once

#include "engines/flash/ScanRules.h"

#include <QObject>

#include <vector>

class DeviceLoadSequence;
class FlashStatusDisplay;
class ModuleLinkControl;
class NetworkScan;
struct FlashUtilityForm;

// The flash loader's "Scan Network": the button that starts and stops the scan, the
// highest address to scan, and the device list the scan fills.
class ScanControls final : public QObject {
    Q_OBJECT
public:
    ScanControls(NetworkScan &scan, DeviceLoadSequence &sequence, FlashUtilityForm &form, FlashStatusDisplay &status,
                 ModuleLinkControl &link, QObject *parent);

    // From the click that starts a scan until the click that stops it or its end.
    bool running() const { return m_running; }
    // The device list's rows.
    const std::vector<ScanRules::ScannedDevice> &devices() const { return m_scanned; }
    // The device list is emptied.
    void clearDevices();
    // The scan is asked to stop; it ends after the address in hand.
    void stop();

signals:
    // A scan started or ended: the window sets its load button from it.
    void runningChanged();
    // The scan has ended and the window says so.
    void scanEnded();

private:
    void scanClicked();
    void startScan();
    void maxAddressChanged();
    void scanFinished();

    NetworkScan &m_scan;
    DeviceLoadSequence &m_sequence;
    FlashUtilityForm &m_form;
    FlashStatusDisplay &m_status;
    ModuleLinkControl &m_link;
    bool m_running = false;
    std::vector<ScanRules::ScannedDevice> m_scanned;
};
