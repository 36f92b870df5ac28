#include "windows/dome/DomeControlForm.h"

#include "core/FormTimer.h"
#include "windows/shared/FormControls.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <initializer_list>

namespace {

QString name(const char *text)
{
    return QString::fromLatin1(text);
}

QPushButton *button(QWidget *parent, const char *control, const QString &caption, int left, int top, int width,
                    int height = 360)
{
    return makeControl<QPushButton>(parent, name(control), caption, left, top, width, height);
}

QLabel *label(QWidget *parent, const char *control, const QString &caption, int left, int top, int width,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter, int height = 260)
{
    auto *l = makeControl<QLabel>(parent, name(control), caption, left, top, width, height);
    l->setAlignment(alignment);
    return l;
}

QLineEdit *box(QWidget *parent, const char *control, const QString &role, int left, int top, int width,
               const QString &text = {})
{
    auto *b = makeControl<QLineEdit>(parent, name(control), text, left, top, width, 300);
    b->setAccessibleName(role);
    return b;
}

// A round indicator, green until an alarm turns it red.
QFrame *indicator(QWidget *parent, const char *control, const QString &role, int left, int top)
{
    auto *shape = makeControl<QFrame>(parent, name(control), {}, left, top, 240, 240);
    shape->setAccessibleName(role);
    return shape;
}

// An uncaptioned function key with its caption label beside (or above) it.
QPushButton *functionKey(QWidget *parent, const char *control, const QString &caption, int left, int top,
                         QVector<QLabel *> &labels, int labelLeft, int labelTop, int labelWidth,
                         Qt::Alignment alignment)
{
    QPushButton *key = button(parent, control, {}, left, top, 300, 300);
    key->setAccessibleName(caption);
    auto *l =
        makeControl<QLabel>(parent, QStringLiteral("Label") + caption, caption, labelLeft, labelTop, labelWidth, 300);
    l->setAlignment(alignment | Qt::AlignVCenter);
    l->setBuddy(key);
    labels.append(l);
    return key;
}

// A frame holding two options, one above the other.
QGroupBox *pair(QWidget *parent, const char *frame, const QString &title, int left, int top, int width,
                QRadioButton *&first, const char *firstName, const QString &firstCaption, QRadioButton *&second,
                const char *secondName, const QString &secondCaption)
{
    auto *group = makeControl<QGroupBox>(parent, name(frame), title, left, top, width, 760);
    first = makeControl<QRadioButton>(group, name(firstName), firstCaption, 80, 250, width - 120, 240);
    second = makeControl<QRadioButton>(group, name(secondName), secondCaption, 80, 490, width - 120, 240);
    return group;
}

FormTimer *timer(QObject *owner, const char *control, int intervalMs, bool singleShot)
{
    auto *t = new FormTimer(name(control), intervalMs, owner);
    t->setSingleShot(singleShot);
    return t;
}

} // namespace

DomeControlForm::DomeControlForm(QWidget *w, QObject *timerOwner)
{
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    // Header.
    Label1 = label(w, "Label1", QStringLiteral("Orvo Dome Control"), 120, 60, 4160, Qt::AlignCenter, 330);
    QFont title = Label1->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.3);
    Label1->setFont(title);
    Text2 = box(w, "Text2", QStringLiteral("Status"), 120, 420, 4160);
    Text2->setReadOnly(true);
    Text2->setAlignment(Qt::AlignCenter);

    // Keypad, three wide and four high: 1-9, then Set, 0, Clr.
    const QStringList captions{"1", "2", "3", "4", "5", "6", "7", "8", "9", "Set", "0", "Clr"};
    for (int i = 0; i < 12; ++i) {
        Command15.append(makeControl<QPushButton>(w, QStringLiteral("Command15_%1").arg(i), captions[i],
                                                  120 + (i % 3) * 500, 860 + (i / 3) * 420, 480, 380));
    }
    Command14 = button(w, "Command14", QStringLiteral("Select"), 120, 2560, 1380, 320);

    // Menu mode: the arrows and "Toggle" take the keypad's place.
    const auto arrow = [w](const char *control, Qt::ArrowType type, const QString &role, int left, int top) {
        auto *a = makeControl<QToolButton>(w, name(control), {}, left, top, 480, 380);
        a->setArrowType(type);
        a->setAccessibleName(role);
        a->hide();
        return a;
    };
    UpArrow = arrow("UpArrow", Qt::UpArrow, QStringLiteral("Up"), 620, 860);
    LeftArrow = arrow("LeftArrow", Qt::LeftArrow, QStringLiteral("Left"), 120, 1280);
    RightArrow = arrow("RightArrow", Qt::RightArrow, QStringLiteral("Right"), 1120, 1280);
    DownArrow = arrow("DownArrow", Qt::DownArrow, QStringLiteral("Down"), 620, 1700);
    Command16 = button(w, "Command16", QStringLiteral("Toggle"), 620, 1280, 480, 380);

    // Function keys: caption left of the key on the left, right of it on the right.
    struct FunctionKey {
        QPushButton *&key;
        const char *control, *caption;
        int left, top, labelLeft, labelTop, labelWidth;
        Qt::Alignment alignment;
    };
    const Qt::Alignment right = Qt::AlignRight, left = Qt::AlignLeft;
    for (const FunctionKey &k : std::initializer_list<FunctionKey>{
             {Command56, "Command56", "Peel", 2440, 900, 1680, 900, 720, right},
             {Command47, "Command47", "Repeat", 2440, 1320, 1680, 1320, 720, right},
             {Command10, "Command10", "Menu", 2440, 1740, 1680, 1740, 720, right},
             {Command23, "Command23", "Reset", 2440, 2160, 1680, 2160, 720, right},
             {Command22, "Command22", "Flip", 2960, 900, 3300, 900, 980, left},
             {Command35, "Command35", "View", 2960, 1320, 3300, 1320, 980, left},
             {Command36, "Command36", "Pattern", 2960, 1740, 3300, 1740, 980, left},
             {Command54, "Command54", "Auto", 2960, 2160, 3300, 2160, 980, left},
             {Command11, "Command11", "DirectSet", 2960, 2760, 2960, 2480, 1320, left},
         })
        k.key = functionKey(w, k.control, QString::fromLatin1(k.caption), k.left, k.top, functionLabels, k.labelLeft,
                            k.labelTop, k.labelWidth, k.alignment);

    // Pad area: the joystick pad with its knob, zoom and focus keys beside it.
    Label9 = makeControl<QLabel>(w, QStringLiteral("Label9"), {}, 1570, 2675, 1335, 1455);
    Label9->setAccessibleName(QStringLiteral("Joystick"));
    Label9->setStyleSheet(QStringLiteral("background-color: #C0E0FF; border: 1px solid #6080A0;"));
    padMarks.append(makeControl<QFrame>(Label9, QStringLiteral("PadMarkAcross"), {}, 120, 720, 1095, 15));
    padMarks.append(makeControl<QFrame>(Label9, QStringLiteral("PadMarkDown"), {}, 660, 120, 15, 1215));
    for (QFrame *mark : padMarks)
        mark->setStyleSheet(QStringLiteral("background-color: #90B0D0;"));
    Shape7 = makeControl<QFrame>(w, QStringLiteral("Shape7"), {}, 2130, 3360, 160, 160);
    Shape7->setAccessibleName(QStringLiteral("Joystick knob"));
    Shape7->setStyleSheet(QStringLiteral("background-color: #304860; border-radius: 5px;"));

    Label6 = label(w, "Label6", QStringLiteral("Zoom"), 120, 2960, 1380, Qt::AlignCenter);
    Command8 = button(w, "Command8", QStringLiteral("IN"), 120, 3220, 660, 380);
    Command4 = button(w, "Command4", QStringLiteral("OUT"), 840, 3220, 660, 380);
    label7 = label(w, "label7", QStringLiteral("Focus"), 3000, 3140, 1280, Qt::AlignCenter);
    Command12 = button(w, "Command12", QStringLiteral("NEAR"), 3000, 3400, 620, 380);
    Command13 = button(w, "Command13", QStringLiteral("FAR"), 3660, 3400, 620, 380);

    Frame2 = makeControl<QGroupBox>(w, QStringLiteral("Frame2"), {}, 120, 3680, 1380, 900);
    Frame2->setAccessibleName(QStringLiteral("Iris"));
    Text1 = box(Frame2, "Text1", QStringLiteral("Iris"), 100, 140, 1180, QStringLiteral("IRIS"));
    Text1->setReadOnly(true);
    Text1->setAlignment(Qt::AlignCenter);
    Command52 = button(Frame2, "Command52", QStringLiteral("Open"), 80, 500, 590, 340);
    Command53 = button(Frame2, "Command53", QStringLiteral("Close"), 710, 500, 590, 340);

    Frame6 = makeControl<QGroupBox>(w, QStringLiteral("Frame6"), QStringLiteral("Vphase"), 3000, 3820, 1280, 760);
    Command2 = button(Frame6, "Command2", QStringLiteral("+"), 80, 300, 540, 360);
    Command51 = button(Frame6, "Command51", QStringLiteral("-"), 660, 300, 540, 360);

    // Alarm row.
    Label19 = label(w, "Label19", QStringLiteral("Alarm"), 120, 4870, 700);
    const char *alarmLabels[] = {"Label20", "Label21", "Label22", "Label23"};
    const char *alarmShapes[] = {"Shape11", "Shape12", "Shape13", "Shape14"};
    QFrame **shapes[] = {&Shape11, &Shape12, &Shape13, &Shape14};
    QLabel **labels[] = {&Label20, &Label21, &Label22, &Label23};
    for (int i = 0; i < 4; ++i) {
        const QString number = QString::number(i + 1);
        *labels[i] = label(w, alarmLabels[i], number, 860 + i * 380, 4650, 300, Qt::AlignCenter, 220);
        *shapes[i] = indicator(w, alarmShapes[i], QStringLiteral("Alarm ") + number, 890 + i * 380, 4880);
    }
    Command1 = button(w, "Command1", QStringLiteral("Flash Rev"), 2320, 4780, 960, 380);
    Command46 = button(w, "Command46", QStringLiteral("Start Ping"), 3320, 4780, 960, 380);

    Label29 = label(w, "Label29", QStringLiteral("NCPC Control"), 120, 5420, 4160, Qt::AlignCenter, 300);
    Label29->setFrameShape(QFrame::Panel);
    Label29->setFrameShadow(QFrame::Raised);
    Label29->setToolTip(QStringLiteral("Double-click to show the NCPC panel"));

    // Lower engineering panel: axes and their values on the left, options on the right.
    QCheckBox **checks[] = {&Check5, &Check6, &Check7, &Check8, &Check9};
    QLineEdit **values[] = {&Text3, &Text4, &Text5, &Text9, &Text10};
    const char *checkNames[] = {"Check5", "Check6", "Check7", "Check8", "Check9"};
    const char *valueNames[] = {"Text3", "Text4", "Text5", "Text9", "Text10"};
    const QStringList axes{"Pan", "Tilt", "Zoom", "Focus", "Iris"};
    for (int i = 0; i < 5; ++i) {
        const int top = 6140 + i * 340;
        *checks[i] = makeControl<QCheckBox>(w, name(checkNames[i]), axes[i], 120, top, 820, 300);
        *values[i] = box(w, valueNames[i], axes[i] + QStringLiteral(" value"), 960, top, 880, QStringLiteral("0"));
    }

    // Options in three columns: units and limit, form and move, focus and iris.
    Frame5 = makeControl<QGroupBox>(w, QStringLiteral("Frame5"), QStringLiteral("Units"), 1920, 6100, 1160, 1000);
    Option3 =
        makeControl<QRadioButton>(Frame5, QStringLiteral("Option3"), QStringLiteral("Counts"), 80, 250, 1040, 240);
    Option4 =
        makeControl<QRadioButton>(Frame5, QStringLiteral("Option4"), QStringLiteral("Degrees"), 80, 490, 1040, 240);
    Option5 =
        makeControl<QRadioButton>(Frame5, QStringLiteral("Option5"), QStringLiteral("Frames"), 80, 730, 1040, 240);
    Frame3 = pair(w, "Frame3", QStringLiteral("Limit"), 1920, 7140, 1160, Option6, "Option6", QStringLiteral("Max"),
                  Option7, "Option7", QStringLiteral("Min"));
    Frame4 = pair(w, "Frame4", QStringLiteral("Form"), 3120, 6100, 970, Option8, "Option8", QStringLiteral("Long"),
                  Option9, "Option9", QStringLiteral("Short"));
    Frame1 = pair(w, "Frame1", QStringLiteral("Move"), 3120, 6900, 970, Option1, "Option1", QStringLiteral("Abs"),
                  Option2, "Option2", QStringLiteral("Rel"));
    Frame8 = pair(w, "Frame8", QStringLiteral("Focus"), 4120, 6100, 960, Option10, "Option10", QStringLiteral("Auto"),
                  Option12, "Option12", QStringLiteral("Man"));
    Frame9 = pair(w, "Frame9", QStringLiteral("Iris"), 4120, 6900, 960, Option11, "Option11", QStringLiteral("Auto"),
                  Option13, "Option13", QStringLiteral("Man"));
    Option10->setAccessibleName(QStringLiteral("Focus Auto"));
    Option12->setAccessibleName(QStringLiteral("Focus Man"));
    Option11->setAccessibleName(QStringLiteral("Iris Auto"));
    Option13->setAccessibleName(QStringLiteral("Iris Man"));

    // Buttons three wide: reads and writes, then targets beside the focus and iris nudges.
    Command24 = button(w, "Command24", QStringLiteral("NCPC GET"), 120, 7960, 1600, 340);
    Command25 = button(w, "Command25", QStringLiteral("NCPC SET"), 1770, 7960, 1600, 340);
    Command26 = button(w, "Command26", QStringLiteral("Get Units"), 3420, 7960, 1600, 340);
    Command27 = button(w, "Command27", QStringLiteral("Get Target"), 120, 8340, 1600, 340);
    Command18 = button(w, "Command18", QStringLiteral("Nudge NEAR"), 1770, 8340, 1600, 340);
    Command19 = button(w, "Command19", QStringLiteral("Nudge FAR"), 3420, 8340, 1600, 340);
    Command28 = button(w, "Command28", QStringLiteral("Set Target"), 120, 8720, 1600, 340);
    Command20 = button(w, "Command20", QStringLiteral("Nudge OPEN"), 1770, 8720, 1600, 340);
    Command21 = button(w, "Command21", QStringLiteral("Nudge CLOSE"), 3420, 8720, 1600, 340);
    Text8 = box(w, "Text8", QStringLiteral("Message sent"), 120, 9160, 4960);
    Text6 = box(w, "Text6", QStringLiteral("Received data"), 120, 9800, 4960);
    for (QLineEdit *hex : {Text8, Text6}) {
        hex->setFont(fixed);
        hex->setReadOnly(true);
    }

    // Right-hand column.
    Command45 = button(w, "Command45", QStringLiteral("Goto Abs Pos"), 5400, 100, 1700);
    Command44 = button(w, "Command44", {}, 7160, 100, 340);
    Command44->setAccessibleName(QStringLiteral("Read Abs Pos"));
    Command44->setToolTip(QStringLiteral("Read the absolute position"));
    Command57 = button(w, "Command57", QStringLiteral("Max Opt Zoom"), 5400, 480, 2100);
    Command5 = button(w, "Command5", QStringLiteral("Send Qwil Data"), 5400, 900, 2100);
    Command6 = button(w, "Command6", QStringLiteral("Configure Qwil"), 5400, 1280, 2100);
    Command58 = button(w, "Command58", QStringLiteral("Set Config Buffer"), 5400, 1660, 2100);
    Command7 = button(w, "Command7", QStringLiteral("Send Module Data"), 5400, 2040, 2100);
    Command9 = button(w, "Command9", QStringLiteral("Send Download Packet"), 5400, 2420, 2100);
    Text7 = box(w, "Text7", QStringLiteral("Raw data"), 5400, 2820, 2100);
    Text7->setFont(fixed);
    Frame7 = makeControl<QGroupBox>(w, QStringLiteral("Frame7"), QStringLiteral("Outputs"), 5400, 3200, 2100, 580);
    QCheckBox **outputs[] = {&Check1, &Check2, &Check3, &Check4};
    const char *outputNames[] = {"Check1", "Check2", "Check3", "Check4"};
    const QStringList outputCaptions{" 1", " 2", " 3", "4"};
    for (int i = 0; i < 4; ++i) {
        *outputs[i] =
            makeControl<QCheckBox>(Frame7, name(outputNames[i]), outputCaptions[i], 100 + i * 500, 270, 480, 260);
        (*outputs[i])->setAccessibleName(QStringLiteral("Output ") + QString::number(i + 1));
    }
    Label4 = label(w, "Label4", QStringLiteral("Alarms"), 5400, 3860, 2100);
    QLabel **columnLabels[] = {&Label2, &Label3, &Label5, &Label8};
    QFrame **columnShapes[] = {&Shape1, &Shape4, &Shape2, &Shape5};
    const char *columnLabelNames[] = {"Label2", "Label3", "Label5", "Label8"};
    const char *columnShapeNames[] = {"Shape1", "Shape4", "Shape2", "Shape5"};
    for (int i = 0; i < 4; ++i) {
        const QString number = QString::number(i + 1);
        *columnLabels[i] = label(w, columnLabelNames[i], number, 5500 + i * 500, 4110, 300, Qt::AlignCenter, 220);
        *columnShapes[i] = indicator(w, columnShapeNames[i], QStringLiteral("Alarms ") + number, 5530 + i * 500, 4340);
    }
    Command55 = button(w, "Command55", QStringLiteral("Clr"), 5400, 4680, 2100);
    Command17 = button(w, "Command17", QStringLiteral("Frame Move"), 5400, 5060, 2100);
    Command3 = button(w, "Command3", QStringLiteral("Device Status"), 5400, 5440, 2100);

    Timer3 = timer(timerOwner, "Timer3", 1000, true);
    Timer4 = timer(timerOwner, "Timer4", 3000, true);
}
