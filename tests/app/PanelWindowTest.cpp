#include "windows/panel/PanelWindow.h"
#include "EmulatedBus.h"
#include "MessageBoxWatcher.h"
#include "terminal/VersionReport.h"
#include "windows/shared/ToolWindow.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

ToolWindow *visibleTool()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *tool = qobject_cast<ToolWindow *>(w); tool && tool->isVisible())
            return tool;
    }
    return nullptr;
}

QString clickGetInfo(PanelWindow &panel)
{
    MessageBoxWatcher watcher;
    QTest::mouseClick(panel.findChild<QPushButton *>(u"Command4"_s), Qt::LeftButton);
    EXPECT_TRUE(watcher.seen().shown);
    EXPECT_EQ(watcher.seen().icon, QMessageBox::Information);
    EXPECT_EQ(watcher.seen().title, QApplication::applicationName());
    return watcher.seen().text;
}

} // namespace

TEST(PanelWindow, HasEveryNamedControlWithItsCaption)
{
    EmulatedBus bus;
    PanelWindow panel(bus.driver);
    EXPECT_EQ(panel.objectName(), "panel");
    EXPECT_EQ(panel.windowTitle(), "USB Module Control Panel");
    const std::pair<const char *, const char *> buttons[] = {
        {"Command1", "Load Utility"},
        {"Command2", "Quillbus Analyzer"},
        {"Command3", "Dome Control"},
        {"Command4", "Get Info"},
    };
    for (const auto &[name, caption] : buttons) {
        auto *button = panel.findChild<QPushButton *>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->accessibleName(), caption);
    }
    EXPECT_NE(panel.findChild<QLabel *>(u"Label1"_s)->text(), "Label1");
}

TEST(PanelWindow, GetInfoReportsEveryVersionAndTheModule)
{
    EmulatedBus bus;
    PanelWindow panel(bus.driver);
    panel.show();
    // The report's lines are VersionReport's; the window gives it the driver's and the module's answers.
    EXPECT_EQ(clickGetInfo(panel), VersionReport::build(0x0105, u"1.02 APP"_s));
    EXPECT_FALSE(bus.emulator.isOpen()) << "connected only for the moment of the report";
    EXPECT_EQ(panel.moduleStatus(), "1.02 APP");
}

TEST(PanelWindow, EachToolOpensFreshHidesThePanelAndBringsItBackOnClose)
{
    struct Case {
        const char *button;
        const char *form;
        const char *caption;
        std::size_t closesOnUnload; // CloseUSBDriver calls when the window closes
        const char *terminal;       // what the panel's terminal says then; nullptr: not compared
    };
    const Case cases[] = {
        {"Command1", "FlashUtility", "Flash Loader - Rev 2.01", 0, " 0"}, // the flash loader's driver result
        {"Command2", "QwilMon", "Quillbus Monitor Utility - Ver 1.00", 1, nullptr},
        {"Command3", "DomeControl", "Dome Control - Ver 2.00", 1, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.form);
        EmulatedBus bus;
        PanelWindow panel(bus.driver);
        panel.show();
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(panel.findChild<QPushButton *>(QString::fromLatin1(c.button)), Qt::LeftButton);
            QPointer<ToolWindow> tool = visibleTool();
            ASSERT_NE(tool, nullptr);
            EXPECT_EQ(tool->objectName(), c.form);
            EXPECT_EQ(tool->windowTitle(), c.caption);
            EXPECT_FALSE(panel.isVisible());

            const std::size_t closesBefore = bus.callCount("CloseUSBDriver");
            EXPECT_TRUE(tool->close());
            EXPECT_TRUE(panel.isVisible());
            EXPECT_EQ(bus.callCount("CloseUSBDriver") - closesBefore, c.closesOnUnload);
            if (c.terminal) {
                EXPECT_EQ(panel.findChild<QLineEdit *>(u"Text1"_s)->text(), c.terminal);
            }
            // The closed window is destroyed, so the next click builds a fresh one.
            EXPECT_TRUE(QTest::qWaitFor([&] { return tool.isNull(); }));
        }
    }
}
