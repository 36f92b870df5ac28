#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;
class SerialLoader;
struct FlashUtilityForm;

// The flash loader's Comm Port mode: the port options, the erase buttons and the sector
// selector of the serial loader, and which of them can be used while a serial run is in hand.
class CommPortControls final : public QObject {
    Q_OBJECT
public:
    // loadFile names the file the file list has chosen; window is the one that grows to
    // hold the sector selector.
    CommPortControls(FlashUtilityForm &form, SerialLoader &serial, std::function<QString()> loadFile, QWidget *window);

    // The serial port's line settings, before any port is chosen.
    void setUpPort();
    // One of the options was clicked: it chooses the serial port. One that cannot open is
    // cleared, and the port of a run in hand stays chosen.
    void choosePort(int option);

private:
    void serialRunning(bool running);
    void setSectors(int first, int last, bool ticked);
    void showSectorSelector(bool shown);

    FlashUtilityForm &m_form;
    SerialLoader &m_serial;
    std::function<QString()> m_loadFile;
    QWidget *m_window;
};
