#pragma once

#include "EmulatedBus.h"
#include "WorkingFolder.h"
#include "engines/flash/NetworkScan.h"
#include "engines/flash/SRecord.h"
#include "windows/flash/FlashUtilityWindow.h"
#include "windows/shared/FileListBox.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>
#include <map>

// The options a technician starts the program with to see Debug, Pause and the keypad.
inline FlashLoaderOptions engineering()
{
    FlashLoaderOptions options;
    options.engineering = true;
    return options;
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

    void copyDemoFirmware()
    {
        const QDir demo(QStringLiteral(QUILL_DEMO_DIR));
        for (const QString &name : demo.entryList({QStringLiteral("*.hex")}, QDir::Files))
            QFile::copy(demo.filePath(name), folder.path(name));
    }

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
    bool startModuleLoad(const QString &file = QStringLiteral("UsbModule-0103.hex"))
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

    WorkingFolder folder;
    EmulatedBus bus;
    QPointer<FlashUtilityWindow> window;
};

// The firmware's images as the device loader receives them: sections 2, 3 (when its
// download file has ten lines or more) and 4 on, or the whole file when it is sent as it
// is; the data of every record at its address plus offset.
inline std::map<long, std::uint8_t> expectedImages(const QString &firmware, long offset, bool wholeFile = false)
{
    const auto lines = RecordFile::readLines(firmware);
    QList<QStringList> sections;
    for (qsizetype i = 0; lines && i < lines->size(); ++i) {
        if (i == 0 || SRecord::opensSection(lines->at(i)))
            sections.append(QStringList());
        sections.last().append(lines->at(i));
    }
    std::map<long, std::uint8_t> bytes;
    for (qsizetype s = wholeFile ? 0 : 1; s < sections.size(); ++s) {
        if (!wholeFile && s == 2 && sections[s].size() + 1 < 10)
            continue; // a text file of fewer than ten lines is not sent
        for (const QString &line : sections[s]) {
            const auto record = SRecord::parse(line);
            if (record && record->isData()) {
                for (std::size_t i = 0; i < record->data.size(); ++i)
                    bytes[record->address + offset + static_cast<long>(i)] = record->data[i];
            }
        }
    }
    return bytes;
}

// Bytes of the images missing from the flash, plus bytes the flash holds beyond them
// other than the zeros that pad records and fill gaps; an empty image never matches.
inline std::size_t flashDifferences(const emu::FlashMemory &flash, const std::map<long, std::uint8_t> &image)
{
    if (image.empty())
        return 1;
    std::size_t differences = 0;
    for (const auto &[address, value] : image)
        differences += flash.read(static_cast<std::uint32_t>(address)) != value ? 1 : 0;
    for (const auto &[address, value] : flash.written())
        differences += !image.count(address) && value != 0 ? 1 : 0;
    return differences;
}
