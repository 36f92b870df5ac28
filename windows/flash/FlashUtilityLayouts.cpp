#include "windows/flash/FlashUtilityLayouts.h"

#include "windows/flash/FlashUtilityForm.h"
#include "windows/shared/FileListBox.h"
#include "windows/shared/Twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace FlashUtilityLayouts {

void showControls(std::initializer_list<QWidget *> widgets, bool visible)
{
    for (QWidget *w : widgets)
        w->setVisible(visible);
}

void setBoxQuietly(QLineEdit *box, const QString &text)
{
    const QSignalBlocker quiet(box);
    box->setText(text);
}

void untick(QRadioButton *option)
{
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

void showOnLoad(FlashUtilityForm &form)
{
    FlashUtilityForm &f = form;
    f.Check1->setChecked(false);
    showControls({f.Check4,    f.Option3, f.Option4, f.Option5,  f.Frame2,    f.Text9,     f.Text10,
                  f.Text11,    f.Label3,  f.List1,   f.Command9, f.Command10, f.Command16, f.Command17,
                  f.Command21, f.Label2,  f.Label4,  f.Label5,   f.Label10,   f.Text5},
                 false);
    for (QPushButton *key : f.Command15)
        key->hide();
    f.Command20->show();
    f.Option1->setChecked(true);
    setBoxQuietly(f.Text10, QStringLiteral("16"));
    f.File1->setPattern(QStringLiteral("*.hex"));
    f.Command1->setEnabled(true);
    f.Command9->setText(QStringLiteral("Scan Network"));
    f.Check3->hide();
    f.Check3->setChecked(true);
}

void showUsb(FlashUtilityForm &form, bool directFileMode)
{
    FlashUtilityForm &f = form;
    showSectorSelector(f, false);
    showControls({f.Label1, f.Label9, f.Check5}, true);
    f.Shape3->hide();
    f.List1->setVisible(!directFileMode);
    f.File1->setVisible(directFileMode);
    f.Check1->setChecked(false);
    f.Check2->setChecked(false);
    showControls({f.Check1, f.Check2}, false);
    f.Check2->setText(QStringLiteral("Debug"));
    f.Option3->setChecked(true);

    showControls({f.Text2, f.Text3, f.Command2, f.Command11}, false);
    f.Text7->show();
    f.Text8->clear();
    f.Text11->clear();
    showControls({f.Text8, f.Text11}, true);

    f.Option1->setText(QStringLiteral("Qwil"));
    f.Option2->setText(QStringLiteral("Module"));
    f.Frame1->setTitle(QStringLiteral("Upload"));
    showControls({f.Label3, f.Command9, f.Text10}, true);
    f.Command10->hide();
    // Back in USB mode the options mean devices and module again, whatever COM port they
    // chose: the first, the device load, is set as the layout that follows expects.
    f.Option2->setChecked(false);
    f.Option1->setChecked(true);
    f.Command1->setText(QStringLiteral("Load Qwil Device"));
    f.Command20->hide();

    showControls(
        {f.Command13, f.Command14, f.Command18, f.Command19, f.Command21, f.Frame3, f.Frame4, f.label7, f.Label6},
        false);
    showControls({f.Label2, f.Label4, f.Label5}, true);
}

void showComPort(FlashUtilityForm &form)
{
    FlashUtilityForm &f = form;
    showControls({f.Label1, f.Label9, f.Check5, f.List1}, false);
    showControls({f.Shape3, f.File1}, true);
    showControls({f.Check1, f.Check2, f.Check4, f.Option3, f.Option4, f.Option5, f.Frame2, f.Text8, f.Text11, f.Text7},
                 false);
    // A ticked "Debug" is not carried over as a ticked "Sector Erase" without its selector.
    f.Check2->setChecked(false);
    f.Check2->setText(QStringLiteral("Sector Erase"));
    showControls({f.Text2, f.Text3, f.Command2}, true);

    f.Option1->setText(QStringLiteral("1"));
    f.Option2->setText(QStringLiteral("2"));
    f.Frame1->setTitle(QStringLiteral("Comm Port"));
    f.Frame1->show();
    f.Command1->setText(QStringLiteral("Load App"));

    showControls({f.Text9, f.Text10, f.Command9, f.Command10, f.Label3}, false);
    for (QPushButton *key : f.Command15)
        key->hide();
}

void showDeviceMode(FlashUtilityForm &form, bool directFileMode, bool engineering)
{
    FlashUtilityForm &f = form;
    if (!directFileMode) {
        showControls({f.File1, f.Label10, f.Text5}, false); // a question for a file is withdrawn
        showControls({f.List1, f.Label3, f.Command9, f.Label1, f.Label2, f.Label4, f.Label5}, true);
        Twips::place(f.Text10, 3060, 1080, 620, 315);
        setBoxQuietly(f.Text10, QStringLiteral("16"));
        f.Command20->hide();
    } else {
        f.File1->setPattern(QStringLiteral("*.hex"));
        f.File1->show();
        showControls({f.List1, f.Label3, f.Command9, f.Label1, f.Label2, f.Label4, f.Label5}, false);
        Twips::place(f.Text10, 3574, 1764, 620, 315);
        setBoxQuietly(f.Text10, QStringLiteral("1"));
        f.Command20->show();
    }
    // Debug, Pause and the address keypad are there for a technician who asks for them.
    if (!engineering)
        f.Check2->setChecked(false);
    f.Check2->setVisible(engineering);
    f.Check4->setVisible(engineering);
    f.Text9->setVisible(engineering && !directFileMode);
    for (QPushButton *key : f.Command15)
        key->setVisible(engineering && !directFileMode);
}

void showDeviceChoice(FlashUtilityForm &form)
{
    FlashUtilityForm &f = form;
    f.Text10->show();
    f.Option2->setChecked(false);
    f.Option1->setChecked(true);
    showControls({f.Option3, f.Option4, f.Frame2}, false);
    f.Command1->setText(QStringLiteral("Load Qwil Device"));
}

void showModuleMode(FlashUtilityForm &form, bool engineering)
{
    FlashUtilityForm &f = form;
    showControls({f.Frame2, f.Option3, f.Option4, f.Option5, f.Text9, f.Text10, f.Text11, f.Label3, f.Command9}, false);
    for (QPushButton *key : f.Command15)
        key->hide(); // the keypad goes with its number box
    f.Command20->show();
    f.Check4->setVisible(engineering);
    f.Option1->setChecked(false);
    f.Option2->setChecked(true);
    f.Command1->setText(QStringLiteral("Load USB Module"));
    f.File1->setPattern(QStringLiteral("*.hex"));
    f.File1->show();
    f.File1->raise(); // over the device list, which the module's layout leaves in place
    f.Check2->setChecked(false);
    f.Check2->hide();
}

void showSectorSelector(FlashUtilityForm &form, bool shown)
{
    FlashUtilityForm &f = form;
    showControls({f.Frame3, f.Frame4, f.label7, f.Command13, f.Command14, f.Command18, f.Command19}, shown);
}

} // namespace FlashUtilityLayouts
