#pragma once

#include "driver/ModuleDriver.h"
#include "engines/flash/FlashLoaderOptions.h"

#include <QWidget>

class FormTimer;
class QLabel;
class QLineEdit;
class QPushButton;
class ToolWindow;

// The control panel: opens the three tool windows, shows the date and a running
// clock, and reports the versions of every piece with the module's state.
class PanelWindow final : public QWidget {
    Q_OBJECT
public:
    explicit PanelWindow(ModuleDriver &driver, FlashLoaderOptions flashOptions = {}, QWidget *parent = nullptr);

    // The module status text of the last report; empty before the first.
    const QString &moduleStatus() const { return m_moduleStatus; }

    QLabel *Label1;
    QLabel *Label2;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;
    QPushButton *Command4;
    QLineEdit *Text1;
    FormTimer *Timer1;

private:
    void openFlashLoader();
    void openMonitor();
    void openDomeControl();
    void openTool(ToolWindow *tool);
    void showVersionReport();
    void showTime();

    ModuleDriver &m_driver;
    FlashLoaderOptions m_flashOptions;
    QString m_moduleStatus;
};
