#include "windows/flash/FlashUtilityForm.h"

#include "core/FormTimer.h"
#include "windows/shared/FileListBox.h"
#include "windows/shared/FormControls.h"
#include "windows/shared/Twips.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>

namespace {

QLineEdit *textBox(QWidget *parent, const QString &name, int left, int top, int width, const QString &text = {})
{
    auto *box = makeControl<QLineEdit>(parent, name, text, left, top, width, 315);
    box->setAccessibleName(name);
    return box;
}

QPlainTextEdit *multiLine(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    auto *box = makeControl<QPlainTextEdit>(parent, name, {}, left, top, width, height);
    box->setAccessibleName(name);
    return box;
}

// The window's own timers with their designed intervals in ms; the scan and the
// loaders own the others.
constexpr std::pair<int, int> WindowTimers[] = {{10, 1000}, {15, 1000}, {16, 100}, {21, 1000}, {22, 3000}};

} // namespace

FlashUtilityForm::FlashUtilityForm(QWidget *w)
{
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    Text1 = textBox(w, QStringLiteral("Text1"), 120, 120, 10760, QStringLiteral("Select Load File "));
    Text1->setAccessibleName(QStringLiteral("Status"));
    Text1->setReadOnly(true);
    Text1->setMinimumHeight(Text1->height());

    Frame1 = makeControl<QGroupBox>(w, QStringLiteral("Frame1"), QStringLiteral("Comm Port"), 120, 560, 1500, 940);
    Option1 = makeControl<QRadioButton>(Frame1, QStringLiteral("Option1"), QStringLiteral("1"), 150, 300, 1300, 280);
    Option2 = makeControl<QRadioButton>(Frame1, QStringLiteral("Option2"), QStringLiteral("2"), 150, 600, 1300, 280);
    Frame2 = makeControl<QGroupBox>(w, QStringLiteral("Frame2"), QStringLiteral("Program"), 1700, 560, 1500, 940);
    Option3 = makeControl<QRadioButton>(Frame2, QStringLiteral("Option3"), QStringLiteral("App"), 150, 250, 1200, 220);
    Option4 = makeControl<QRadioButton>(Frame2, QStringLiteral("Option4"), QStringLiteral("Boot"), 150, 470, 1200, 220);
    Option5 = makeControl<QRadioButton>(Frame2, QStringLiteral("Option5"), QStringLiteral("FPGA"), 150, 690, 1200, 220);

    Label3 = makeControl<QLabel>(w, QStringLiteral("Label3"), QStringLiteral("Max Qwil Address"), 1700, 800, 2100, 260);
    Text10 = textBox(w, QStringLiteral("Text10"), 3060, 1080, 620, QStringLiteral("1"));
    Label10 = makeControl<QLabel>(w, QStringLiteral("Label10"), QStringLiteral("Device Add"), 1700, 800, 2100, 260);
    Text5 = textBox(w, QStringLiteral("Text5"), 3060, 1080, 620);

    Command9 =
        makeControl<QPushButton>(w, QStringLiteral("Command9"), QStringLiteral("Scan Network"), 3900, 600, 1600, 420);
    Command10 =
        makeControl<QPushButton>(w, QStringLiteral("Command10"), QStringLiteral("Connect USB"), 3900, 1080, 1600, 420);
    Command1 =
        makeControl<QPushButton>(w, QStringLiteral("Command1"), QStringLiteral("Load App"), 5700, 600, 1750, 420);
    Check5 =
        makeControl<QCheckBox>(w, QStringLiteral("Check5"), QStringLiteral("Upload latest Rev"), 5700, 1110, 2100, 300);
    Check2 = makeControl<QCheckBox>(w, QStringLiteral("Check2"), QStringLiteral("Sector Erase"), 7500, 600, 1480, 300);
    // Clear of "Upload latest Rev" on its left, which engineering shows beside it.
    Check4 = makeControl<QCheckBox>(w, QStringLiteral("Check4"), QStringLiteral("Pause"), 7900, 1110, 1080, 300);
    Check3 = makeControl<QCheckBox>(w, QStringLiteral("Check3"), QStringLiteral("USB"), 9000, 1110, 1950, 300);
    Label9 = makeControl<QLabel>(w, QStringLiteral("Label9"), QStringLiteral("Flash #"), 9000, 600, 1950, 300);
    Check1 =
        makeControl<QCheckBox>(w, QStringLiteral("Check1"), QStringLiteral("H File Generator"), 9000, 860, 1950, 250);

    Label8 =
        makeControl<QLabel>(w, QStringLiteral("Label8"), QStringLiteral("File Load Progress"), 120, 1620, 1750, 300);
    ProgressBar1 = makeControl<QProgressBar>(w, QStringLiteral("ProgressBar1"), {}, 1900, 1600, 8980, 300);
    ProgressBar1->setTextVisible(false);

    Label5 = makeControl<QLabel>(w, QStringLiteral("Label5"), QStringLiteral("Quillbus Devices"), 120, 2000, 3600, 250);
    Label1 = makeControl<QLabel>(w, QStringLiteral("Label1"), QStringLiteral("Addr"), 150, 2250, 700, 250);
    Label4 = makeControl<QLabel>(w, QStringLiteral("Label4"), QStringLiteral("Type"), 1400, 2250, 700, 250);
    Label2 = makeControl<QLabel>(w, QStringLiteral("Label2"), QStringLiteral("Rev"), 1900, 2250, 700, 250);
    List1 = makeControl<QListWidget>(w, QStringLiteral("List1"), {}, 120, 2500, 3600, 5900);
    List1->setAccessibleName(QStringLiteral("Quillbus Devices"));
    List1->setSelectionMode(QAbstractItemView::MultiSelection);
    List1->setFont(fixed);

    File1 = makeControl<FileListBox>(w, QStringLiteral("File1"), {}, 120, 2000, 3600, 2900);
    File1->setAccessibleName(QStringLiteral("Firmware files"));
    File2 = makeControl<FileListBox>(w, QStringLiteral("File2"), {}, 1700, 5000, 300, 300);
    File2->hide();
    Command20 =
        makeControl<QPushButton>(w, QStringLiteral("Command20"), QStringLiteral("Refresh"), 120, 5000, 1400, 420);

    Text9 = textBox(w, QStringLiteral("Text9"), 3900, 2500, 1800);
    Text9->setReadOnly(true);
    // Keys three wide and four high: 1-9 (indexes 0-8), then Clear, 0 and Enter.
    const QStringList captions{"1", "2", "3", "4", "5", "6", "7", "8", "9", "Enter", "0", "Clear"};
    const int gridCell[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 10, 9};
    for (int i = 0; i < 12; ++i) {
        const int cell = gridCell[i];
        Command15.append(makeControl<QPushButton>(w, QStringLiteral("Command15_%1").arg(i), captions[i],
                                                  3900 + (cell % 3) * 600, 2900 + (cell / 3) * 470, 580, 450));
    }

    Text7 = textBox(w, QStringLiteral("Text7"), 3900, 4900, 1800);
    Text7->setReadOnly(true);
    Text11 = textBox(w, QStringLiteral("Text11"), 3900, 5300, 1800);
    Text6 = textBox(w, QStringLiteral("Text6"), 3900, 6100, 1800);
    Command8 =
        makeControl<QPushButton>(w, QStringLiteral("Command8"), QStringLiteral("Command8"), 3900, 6500, 1800, 420);
    Command12 = makeControl<QPushButton>(w, QStringLiteral("Command12"), QStringLiteral("Get Address Range"), 3900,
                                         6950, 1800, 420);
    Command21 = makeControl<QPushButton>(w, QStringLiteral("Command21"), QStringLiteral("Create Load File"), 3900, 7400,
                                         1800, 420);
    Command22 =
        makeControl<QPushButton>(w, QStringLiteral("Command22"), QStringLiteral("Debug OFF"), 3900, 7850, 1800, 420);
    Command16 = makeControl<QPushButton>(w, QStringLiteral("Command16"), QStringLiteral("Yes"), 1700, 5400, 900, 420);
    Command17 =
        makeControl<QPushButton>(w, QStringLiteral("Command17"), QStringLiteral("Command17"), 2700, 5400, 900, 420);
    for (QWidget *unused : {static_cast<QWidget *>(Text6), static_cast<QWidget *>(Command8),
                            static_cast<QWidget *>(Command12), static_cast<QWidget *>(Command22)})
        unused->hide();

    Text8 = multiLine(w, QStringLiteral("Text8"), 5900, 2000, 4980, 6400);
    Text8->setFont(fixed);
    Text8->setReadOnly(true);
    Text8->setAccessibleName(QStringLiteral("Debug"));
    Command11 =
        makeControl<QPushButton>(w, QStringLiteral("Command11"), QStringLiteral("Debug"), 8450, 3250, 2350, 400);

    // Comm Port mode: the instructions beside the file list, the sector selector below them.
    Shape3 = makeControl<QFrame>(w, QStringLiteral("Shape3"), {}, 3900, 2000, 6980, 1700);
    Shape3->setFrameShape(QFrame::Box);
    Text2 = multiLine(w, QStringLiteral("Text2"), 4000, 2100, 4300, 600);
    Text2->setPlainText(QStringLiteral(" Power cycle board, select file and \nthen click Load App"));
    Text3 = multiLine(w, QStringLiteral("Text3"), 4000, 2800, 4300, 600);
    Text3->setPlainText(QStringLiteral("Power cycle board, then click Erase \nFlash"));
    Label6 =
        makeControl<QLabel>(w, QStringLiteral("Label6"), QStringLiteral("Power Cycle Board"), 8450, 2100, 2350, 300);
    Command2 = makeControl<QPushButton>(w, QStringLiteral("Command2"), QStringLiteral("Erase All Flash Sectors"), 8450,
                                        2800, 2350, 420);

    label7 = makeControl<QLabel>(w, QStringLiteral("label7"), QStringLiteral("Sector Erase Selector"), 3900, 3800, 3700,
                                 300);
    Frame3 = makeControl<QGroupBox>(w, QStringLiteral("Frame3"), QStringLiteral("Bank 1"), 3900, 4100, 3700, 800);
    Frame4 = makeControl<QGroupBox>(w, QStringLiteral("Frame4"), QStringLiteral("Bank 2"), 3900, 4950, 3700, 1550);
    for (int i = 0; i < 22; ++i) {
        QGroupBox *bank = i < 8 ? Frame3 : Frame4;
        const int slot = i < 8 ? i : i - 8;
        const int columns = 4;
        Sector.append(makeControl<QCheckBox>(bank, QStringLiteral("Sector_%1").arg(i), QStringLiteral("SA%1").arg(i),
                                             100 + (slot % columns) * 880, 250 + (slot / columns) * 300, 860, 280));
    }
    Command19 = makeControl<QPushButton>(w, QStringLiteral("Command19"), QStringLiteral("Erase Selected Sectors"), 3900,
                                         6600, 3700, 400);
    Command18 =
        makeControl<QPushButton>(w, QStringLiteral("Command18"), QStringLiteral("Clear All"), 3900, 7050, 3700, 400);
    Command13 =
        makeControl<QPushButton>(w, QStringLiteral("Command13"), QStringLiteral("Set Bank 1"), 3900, 7500, 3700, 400);
    Command14 =
        makeControl<QPushButton>(w, QStringLiteral("Command14"), QStringLiteral("Set Bank 2"), 3900, 7950, 3700, 400);

    // The table generator, framed under its heading, shows only while its check box is
    // ticked; it fits the shortest height the window takes.
    Shape1 = makeControl<QFrame>(w, QStringLiteral("Shape1"), {}, 7900, 3750, 3080, 2080);
    Shape1->setFrameShape(QFrame::Box);
    Text4 = textBox(w, QStringLiteral("Text4"), 8000, 3800, 2880, QStringLiteral("H File Generator"));
    Text4->setReadOnly(true);
    Text4->setAlignment(Qt::AlignCenter);
    Text4->setAccessibleName(Text4->text());
    const QStringList tables{"Calculate Radius Data", "Calculate Z Data", "Calculate SinPhi Data",
                             "Calculate Stretch Sin Data", "Calculate Stretch Cos Data"};
    QPushButton **tableButtons[] = {&Command3, &Command4, &Command5, &Command6, &Command7};
    for (int i = 0; i < 5; ++i)
        *tableButtons[i] = makeControl<QPushButton>(w, QStringLiteral("Command%1").arg(i + 3), tables[i], 8000,
                                                    4150 + i * 335, 2880, 320);
    for (QWidget *generator :
         {static_cast<QWidget *>(Shape1), static_cast<QWidget *>(Text4), static_cast<QWidget *>(Command3),
          static_cast<QWidget *>(Command4), static_cast<QWidget *>(Command5), static_cast<QWidget *>(Command6),
          static_cast<QWidget *>(Command7)}) {
        generator->hide();
        QObject::connect(Check1, &QCheckBox::toggled, generator, &QWidget::setVisible);
    }
    Command11->hide();

    MSComm1 = new QSerialPort(w);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));

    Timer.resize(23);
    for (const auto &[number, intervalMs] : WindowTimers)
        Timer[number] = new FormTimer(QStringLiteral("Timer%1").arg(number), intervalMs, w);
}
