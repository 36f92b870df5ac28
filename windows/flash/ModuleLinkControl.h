#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

class DownloadEngine;
class FlashStatusDisplay;
class ModuleDriver;
struct FlashUtilityForm;

// The flash loader's link to the module: the "Connect USB" button, the check that the
// link still answers before a scan or a load, the reconnect after a mode change and the
// prompt to scan that follows a connection.
class ModuleLinkControl final : public QObject {
    Q_OBJECT
public:
    // parent must be the window: the link's reads are served in the window's turn.
    ModuleLinkControl(ModuleDriver &driver, FlashUtilityForm &form, FlashStatusDisplay &status, DownloadEngine &engine,
                      QObject *parent);

    bool connected() const { return m_connected; }
    // The module has gone, or has restarted and must be connected again.
    void markLost() { m_connected = false; }

    void connectModule();
    // Reads one record with a short wait; a link that answers goes on to whenLinked. A
    // click that comes meanwhile waits for the answer, as every action of the window does.
    // A link that fails is said, and goes on to whenFailed.
    void check(std::function<void()> whenLinked, std::function<void()> whenFailed = {});
    // Shows "Connect USB" and lets it be clicked.
    void offerConnect();
    void cancelScanPrompt();
    // Closes the driver and, when that worked, connects again shortly; the close's result.
    std::int32_t closeAndReconnect();
    // Comm Port mode has no use for the module: the link is closed and nothing reopens it.
    void closeForComPort();
    // At unload: the module is released when it is connected; the release's result, else 0.
    int release();

signals:
    void debugNote(const QString &text);

private:
    void reconnectStep();
    void promptStep();

    ModuleDriver &m_driver;
    FlashUtilityForm &m_form;
    FlashStatusDisplay &m_status;
    DownloadEngine &m_engine;
    bool m_connected = false;
};
