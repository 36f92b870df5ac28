#pragma once

#include <QVector>

class FormTimer;
class QObject;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class QWidget;

// The dome window's controls, each under its form name, placed as designed (twips) on
// the window's face. It holds no behaviour: the window wires the controls.
struct DomeControlForm {
    DomeControlForm(QWidget *face, QObject *timerOwner);

    // The face: the compact keyboard, the engineering panel below it, and the column
    // to the right of both.
    static constexpr int CompactWidth = 4400, CompactHeight = 6050;
    static constexpr int GrownWidth = 5200, GrownHeight = 9500, TallHeight = 10400;
    static constexpr int FaceWidth = 7700;

    // Header.
    QLabel *Label1;
    QLineEdit *Text2;

    // Keypad: "1" to "9" (0-8), "Set" (9), "0" (10), "Clr" (11).
    QVector<QPushButton *> Command15;

    // Function keys, each an uncaptioned button beside its caption label.
    QPushButton *Command56, *Command47, *Command10, *Command23;             // Peel, Repeat, Menu, Reset
    QPushButton *Command22, *Command35, *Command36, *Command54, *Command11; // Flip, View, Pattern, Auto, DirectSet
    QVector<QLabel *> functionLabels;

    // Pad area.
    QLabel *Label9;
    QFrame *Shape7;
    QVector<QFrame *> padMarks;
    QLabel *Label6, *label7;
    QPushButton *Command8, *Command4, *Command12, *Command13; // IN, OUT, NEAR, FAR
    QGroupBox *Frame2;
    QLineEdit *Text1;
    QPushButton *Command52, *Command53; // iris Open, Close

    // Vphase.
    QGroupBox *Frame6;
    QPushButton *Command2, *Command51;

    // Alarm row.
    QLabel *Label19, *Label20, *Label21, *Label22, *Label23;
    QFrame *Shape11, *Shape12, *Shape13, *Shape14;

    QPushButton *Command1, *Command46; // Flash Rev, Start Ping
    QLabel *Label29;                   // NCPC Control

    // Menu mode.
    QToolButton *UpArrow, *DownArrow, *LeftArrow, *RightArrow;
    QPushButton *Command16, *Command14; // Toggle, Select

    // Lower engineering panel.
    QCheckBox *Check5, *Check6, *Check7, *Check8, *Check9;
    QLineEdit *Text3, *Text4, *Text5, *Text9, *Text10;
    QGroupBox *Frame1, *Frame3, *Frame4, *Frame5, *Frame8, *Frame9;
    QRadioButton *Option1, *Option2, *Option3, *Option4, *Option5, *Option6, *Option7, *Option8, *Option9;
    QRadioButton *Option10, *Option11, *Option12, *Option13;
    QPushButton *Command24, *Command25, *Command26, *Command27, *Command28;
    QPushButton *Command18, *Command19, *Command20, *Command21;
    QLineEdit *Text8, *Text6;

    // Right-hand column.
    QPushButton *Command45, *Command44, *Command57;
    QPushButton *Command5, *Command6, *Command58, *Command7, *Command9;
    QLineEdit *Text7;
    QGroupBox *Frame7;
    QCheckBox *Check1, *Check2, *Check3, *Check4;
    QLabel *Label4, *Label2, *Label3, *Label5, *Label8;
    QFrame *Shape1, *Shape4, *Shape2, *Shape5;
    QPushButton *Command55, *Command17, *Command3;

    // Ping (1), greeting (3), status (4), reset (5) and receive poll (6).
    FormTimer *Timer3, *Timer4;
};
