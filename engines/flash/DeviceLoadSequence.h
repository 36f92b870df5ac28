#pragma once

#include "core/Job.h"
#include "engines/flash/DeviceSelection.h"
#include "engines/flash/LoadOutcome.h"
#include "engines/flash/ScanRules.h"

#include <QObject>
#include <QString>

#include <vector>

class DownloadEngine;
class FormTimer;

// What became of one device of a load.
struct DeviceResult {
    ScanRules::ScannedDevice device;
    QString file; // the firmware file it was given, if any
    LoadOutcome outcome;
    bool passedOver = false; // a dome that cannot take a download, in a load of all
    bool current = false;    // it holds its file's revision or a later one, and was left as it is
};

// Where a load's devices get their firmware: the window asks its user, the terminal takes
// what its command line names.
class FirmwareSource {
public:
    struct Answer {
        // Silent: the device did not answer the scan and no file is named for it.
        enum class Kind { File, Ask, Refused, Silent };
        Kind kind = Kind::Refused;
        QString text;          // the file, or why the device gets none
        bool knownType = true; // the file loads at the known address offset
    };
    virtual ~FirmwareSource() = default;
    // The device's file; Ask: the face asks its user, who answers through fileChosen().
    virtual Answer fileFor(const DeviceSelection::Choice &device) = 0;
    // A device that did not answer the scan is loaded wherever it stands in the selection
    // (not only as the last one) when its file is named already.
    virtual bool namesFileFor(int address) const
    {
        Q_UNUSED(address);
        return false;
    }
};

// One load of the selected devices of a scan, in address order: each gets its firmware
// from the source and is loaded by the engine; each ends with an outcome. When every
// device has had its turn and at least one was loaded, the engine says "Upload Complete".
// A batch is a job: started when it begins to walk the devices, ended once it is over,
// with results() holding a row per device it reached or could not reach.
class DeviceLoadSequence final : public Job {
    Q_OBJECT
public:
    // After a device that was not loaded the window stops, so the technician sees why;
    // the terminal goes on with the next device.
    enum class AfterFailure { Stop, GoOn };
    // A dome that cannot take a download: a device not loaded, or, in a load of all the
    // devices found, passed over.
    enum class RefusedDomes { NotLoaded, PassedOver };

    DeviceLoadSequence(DownloadEngine &engine, FirmwareSource &files, AfterFailure afterFailure,
                       RefusedDomes refusedDomes, QObject *parent);

    // Loads the selected devices one after the other.
    void start(std::vector<ScanRules::ScannedDevice> devices, std::vector<bool> selected);
    // Walks the selection as start() does and gives every device its file, loading none:
    // the results say which file each would get (outcome not attempted) or why none.
    std::vector<DeviceResult> plan(std::vector<ScanRules::ScannedDevice> devices, std::vector<bool> selected);
    // The file the face's user chose for the device the source asked about.
    void fileChosen(const QString &file, bool knownType);
    // The user ends the load: a device loading is abandoned (with the abort byte), a
    // question is withdrawn; the devices after it are not attempted.
    void interrupt();
    void cancel() override { interrupt(); }

    bool waitingForFile() const { return m_waitingForFile; }
    bool running() const override { return m_running; }
    const std::vector<DeviceResult> &results() const { return m_results; }
    // True when some device of the last load completed.
    bool anyLoaded() const;

signals:
    // A device's turn ended (index into the scanned devices).
    void deviceEnded(int index, const DeviceResult &result);
    // A selected address that did not answer was passed over.
    void silentPassedOver(int index);
    // running(), waitingForFile() or a device's load in hand changed.
    void stateChanged();

private:
    void walk(std::vector<ScanRules::ScannedDevice> devices, std::vector<bool> selected, bool planOnly);
    void next();
    bool takeTurn(const DeviceSelection::Choice &choice);
    bool load(const QString &file, bool knownType);
    void engineEnded(const LoadOutcome &outcome);
    bool endTurn(const QString &file, const LoadOutcome &outcome, bool passedOver = false);
    void finish(bool walkedToTheEnd);
    void recordUnreached();
    JobOutcome batchOutcome() const;
    int chosenIndex() const { return m_chosen; }

    DownloadEngine &m_engine;
    FirmwareSource &m_files;
    AfterFailure m_afterFailure;
    RefusedDomes m_refusedDomes;
    FormTimer *m_afterFailureStep; // the next device's turn, once the engine has handled a failure
    std::vector<ScanRules::ScannedDevice> m_devices;
    std::vector<bool> m_selected;
    std::vector<DeviceResult> m_results;
    DeviceSelection::Choice m_choice;
    QString m_fileInHand;
    int m_next = 0;
    int m_chosen = -1;
    bool m_running = false;
    bool m_loading = false;
    bool m_waitingForFile = false;
    bool m_planOnly = false;
};
