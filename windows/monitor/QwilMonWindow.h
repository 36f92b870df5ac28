#pragma once

#include "driver/ModuleDriver.h"
#include "engines/monitor/DisplaySweep.h"
#include "windows/shared/ToolWindow.h"

class CaptureCycle;
class RowFeed;
class FileListBox;
class FormTimer;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class LineDisplay;
class QPushButton;
class QRadioButton;

// The bus monitor window: captures, describes, filters, logs and replays bus traffic.
class QwilMonWindow final : public ToolWindow {
    Q_OBJECT
public:
    explicit QwilMonWindow(ModuleDriver &driver, QWidget *parent = nullptr);

    // The display's lines as the technician reads them.
    QStringList displayLines() const;
    bool connected() const { return m_connected; }
    bool logging() const { return m_logging; }
    CaptureCycle &cycle() { return *m_cycle; }
    RowFeed &rows() { return *m_rows; }

    QLabel *Label1, *Label2, *Label3, *Label12, *Label13, *Label4, *Label9, *Label5, *Label8, *label7, *Label6;
    LineDisplay *Text2;
    QPushButton *Command9, *Command1, *Command47, *Command3, *Command2;
    QFrame *Shape1, *Shape2;
    QGroupBox *Frame1, *Frame2, *Frame3;
    QRadioButton *Option1, *Option2, *Option3, *Option4, *Option5, *Option6;
    QLineEdit *Text5, *Text8, *Text7, *Text6, *Text1, *Text3, *Text4;
    FileListBox *File1;

protected:
    void unloadWindow() override;

private:
    void buildForm();
    void loadWindow();
    void connectModule(bool closeFirst, std::function<void()> then);
    void afterLoadConnect();
    void connectClicked();
    void startStopClicked();
    void startMonitor();
    void stopMonitor();
    void pauseClicked();
    void setPaused(bool paused);
    void showRunState();
    void clearDisplay();
    void loggingOn();
    void loggingOff();
    void analyzeOn();
    void analyzeOff();
    void deleteFile();
    void endOfFile();
    void logWriteFailed(const QString &error);

    void displayMessage(const QString &line);
    void repaintDisplay();
    void displayError(int code);
    void replaceDisplay(const QString &text);
    void selectQuietly(QRadioButton *option);

    ModuleDriver &m_driver;
    CaptureCycle *m_cycle;
    RowFeed *m_rows;
    FormTimer *m_repaint; // the display box follows the rows at most this often
    static constexpr int RepaintMs = 40;
    static constexpr int BusyRepaintMs = 100;
    static constexpr int BusyRows = 8; // rows between two repaints that make the display busy
    int m_rowsSinceRepaint = 0;
    int m_rowsLastRepaint = 0;
    std::int64_t m_lastRepaintMs = 0;
    DisplaySweep m_display;
    bool m_connected = false;
    bool m_paused = false;
    bool m_logging = false;
    QString m_logPath;
    QString m_playbackPath;
};
