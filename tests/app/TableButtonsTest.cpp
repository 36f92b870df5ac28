#include "EmulatedBus.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "engines/flash/LookupTables.h"
#include "terminal/CommandLine.h"
#include "windows/flash/FlashUtilityWindow.h"
#include "windows/shared/Twips.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

TEST(CommandLine, TheTableButtonsWriteWhatTheCommandLineWrites)
{
    WorkingFolder folder;
    ASSERT_TRUE(QDir(folder.path(QString())).mkdir(u"cli"_s));
    EXPECT_FALSE(writeAllTables(folder.path(u"cli"_s)));

    EmulatedBus bus;
    FlashLoaderOptions options;
    options.engineering = true;
    FlashUtilityWindow window(bus.driver, options);
    window.show();
    bus.advance(100);
    ASSERT_FALSE(window.form.Check1->isHidden());
    // Ticked, the five buttons show framed under their heading, within the shortest window.
    FlashUtilityForm &f = window.form;
    f.Check1->click();
    EXPECT_EQ(f.Text4->text(), "H File Generator");
    EXPECT_LE(f.Shape1->geometry().bottom(), Twips::toPixels(FlashUtilityForm::FileModeHeight, window.logicalDpiY()));
    for (QPushButton *button : {f.Command3, f.Command4, f.Command5, f.Command6, f.Command7}) {
        ASSERT_TRUE(button->isVisible());
        button->click();
    }
    for (const char *name : {"lut_R.h", "lut_Z.h", "lut_S.h", "VStrSin.h", "VStrCos.h"}) {
        const QString file = QString::fromLatin1(name);
        EXPECT_EQ(folder.read(file), folder.read(u"cli/"_s + file)) << name;
        EXPECT_FALSE(folder.read(file).isEmpty()) << name;
    }

    FlashUtilityWindow designed(bus.driver);
    bus.advance(100);
    EXPECT_TRUE(designed.form.Check1->isHidden()) << "the generator is engineering's";
    f.Check1->click();
    EXPECT_TRUE(f.Shape1->isHidden() && f.Text4->isHidden());
}
