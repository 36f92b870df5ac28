#pragma once

#include <QString>
#include <QVector>

class FileListBox;
class FormTimer;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSerialPort;
class QWidget;

// The flash loader's controls, each under its form name, placed as designed (twips).
// It holds no behaviour: the window wires the controls.
struct FlashUtilityForm {
    explicit FlashUtilityForm(QWidget *window);

    static constexpr int Width = 11000;
    static constexpr int DeviceModeHeight = 8800;
    static constexpr int FileModeHeight = 5840;

    // Status and load.
    QLineEdit *Text1;
    QPushButton *Command1;
    QCheckBox *Check1, *Check2, *Check3, *Check4, *Check5;
    QGroupBox *Frame1, *Frame2;
    QRadioButton *Option1, *Option2, *Option3, *Option4, *Option5;
    QProgressBar *ProgressBar1;
    QLabel *Label8, *Label9;

    // Debug.
    QPlainTextEdit *Text8;
    QPushButton *Command11;

    // Files.
    FileListBox *File1, *File2;
    QPushButton *Command20;

    // Bus and device list.
    QPushButton *Command9, *Command10;
    QListWidget *List1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label10;
    QLineEdit *Text10, *Text5;

    // Address keypad.
    QVector<QPushButton *> Command15;
    QLineEdit *Text9;

    // Boxes whose use is decided by the load steps.
    QLineEdit *Text4, *Text6, *Text7, *Text11;
    QPushButton *Command8, *Command12, *Command16, *Command17, *Command21, *Command22;

    // COM-port mode, sector erase and table generator.
    QPlainTextEdit *Text2, *Text3;
    QLabel *Label6, *label7;
    QPushButton *Command2, *Command13, *Command14, *Command18, *Command19;
    QPushButton *Command3, *Command4, *Command5, *Command6, *Command7;
    QGroupBox *Frame3, *Frame4;
    QVector<QCheckBox *> Sector;
    QFrame *Shape1, *Shape3;
    QSerialPort *MSComm1;

    // The window's own timers by number (Timer10, Timer15, Timer16, Timer21, Timer22); the
    // others belong to the scan and the loaders and are null here.
    QVector<FormTimer *> Timer;
};
