#pragma once

#include "EmulatedBus.h"
#include "FlashImages.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "engines/flash/NetworkScan.h"
#include "engines/flash/SRecord.h"
#include "windows/flash/FlashUtilityWindow.h"
#include "windows/shared/FileListBox.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>

// The options a technician starts the program with to see Debug, Pause and the keypad.
inline FlashLoaderOptions engineering()
{
    FlashLoaderOptions options;
    options.engineering = true;
    return options;
}

// Whether the device at address of the emulated bus holds the images of the firmware file
// in folder, as the device loader places them.
inline bool deviceHolds(emu::Emulator &emulator, const WorkingFolder &folder, int address, const char *file,
                        long offset = 0x40000, bool wholeFile = false)
{
    const emu::BusDevice *device = emulator.device(static_cast<std::uint8_t>(address));
    return device && holdsFirmware(device->loader().flash(), folder.path(QString::fromLatin1(file)), offset, wholeFile);
}

// A flash loader on an emulated bus, in its own working folder.
struct FlashLoader {
    inline static const QColor Information{0xC0, 0xFF, 0xFF};
    inline static const QColor Success{0xC0, 0xFF, 0xC0};
    inline static const QColor Error{0xFF, 0xC0, 0xC0};

    explicit FlashLoader(const emu::Scenario &s = emu::Scenario::defaultBus(), FlashLoaderOptions options = {})
        : bus(s), window(new FlashUtilityWindow(bus.driver, std::move(options)))
    {
        window->show();
    }
    ~FlashLoader() { delete window; }

    FlashUtilityForm &f() { return window->form; }
    QString status() { return f().Text1->text(); }
    bool statusIs(const char *text) { return status() == QString::fromLatin1(text); }
    QColor statusColour() { return f().Text1->palette().color(QPalette::Base); }
    QStringList rows()
    {
        QStringList all;
        for (int i = 0; i < f().List1->count(); ++i)
            all << f().List1->item(i)->text();
        return all;
    }

    // The start-up step, then the reconnect one second later.
    void startUp() { bus.advance(100 + 1000); }

    void scan(const QString &highest)
    {
        f().Text10->setText(highest);
        QTest::mouseClick(f().Command9, Qt::LeftButton);
        bus.advance(NetworkScan::StartDelayMs);
    }

    // Scans up to highest, selects the addresses and presses the load button.
    void startDeviceLoad(const char *highest, std::initializer_list<int> addresses)
    {
        scan(QString::fromLatin1(highest));
        select(addresses);
        QTest::mouseClick(f().Command1, Qt::LeftButton);
    }

    void copyDemoFirmware() { folder.copyDemo({u"*.hex"_s}); }

    void select(std::initializer_list<int> addresses)
    {
        for (const int address : addresses)
            f().List1->item(address - 1)->setSelected(true);
    }

    // Picks a file in the file list as a click would; false when it is not listed.
    bool clickFile(const QString &name)
    {
        f().File1->refresh();
        const int row = static_cast<int>(f().File1->names().indexOf(name));
        if (row < 0)
            return false;
        f().File1->item(row)->setSelected(true);
        emit f().File1->itemClicked(f().File1->item(row));
        return true;
    }

    // "Module", the module's firmware file and "Load USB Module".
    bool startModuleLoad(const QString &file = u"UsbModule-0103.hex"_s)
    {
        QTest::mouseClick(f().Option2, Qt::LeftButton);
        bus.advance(1000);
        if (!clickFile(file))
            return false;
        QTest::mouseClick(f().Command1, Qt::LeftButton);
        return true;
    }

    // Moves time on in small steps until done() holds; false when it never does.
    bool runUntil(const std::function<bool()> &done, std::int64_t limitMs = 600000)
    {
        for (std::int64_t spent = 0; spent < limitMs; spent += 10) {
            if (done())
                return true;
            bus.advance(10);
        }
        return done();
    }

    // Runs until the status line says text.
    testing::AssertionResult reaches(const char *text)
    {
        if (runUntil([&] { return statusIs(text); }))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "the status line says " << status().toStdString();
    }

    void click(QWidget *control) { QTest::mouseClick(control, Qt::LeftButton); }

    // Whether the status line says text in colour.
    testing::AssertionResult says(const char *text, const QColor &colour)
    {
        if (statusIs(text) && statusColour() == colour)
            return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << "the status line says " << status().toStdString() << " in " << statusColour().name().toStdString();
    }

    // Whether each control is as states says: "Command1 enabled, File1 hidden, Check2 ticked"
    // and the like, controls by their object names ("Command15_0" for an array's first).
    testing::AssertionResult controls(const char *states)
    {
        const auto box = [](QWidget *c) { return qobject_cast<QAbstractButton *>(c); };
        const std::map<QString, std::function<bool(QWidget *)>> holds{
            {"enabled", [](QWidget *c) { return c->isEnabled(); }},
            {"disabled", [](QWidget *c) { return !c->isEnabled(); }},
            {"shown", [](QWidget *c) { return !c->isHidden(); }},
            {"hidden", [](QWidget *c) { return c->isHidden(); }},
            {"ticked", [box](QWidget *c) { return box(c) && box(c)->isChecked(); }},
            {"unticked", [box](QWidget *c) { return box(c) && !box(c)->isChecked(); }},
        };
        QStringList wrong;
        for (const QString &entry : QString::fromLatin1(states).split(u", "_s)) {
            const QStringList words = entry.split(QLatin1Char(' '));
            QWidget *control = window->findChild<QWidget *>(words.value(0));
            if (!control || words.size() != 2 || !holds.count(words[1]) || !holds.at(words[1])(control))
                wrong << entry;
        }
        if (wrong.isEmpty())
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "not so: " << wrong.join(u", "_s).toStdString();
    }

    WorkingFolder folder;
    EmulatedBus bus;
    QPointer<FlashUtilityWindow> window;
};
