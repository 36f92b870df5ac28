#pragma once

#include "EmulatedBus.h"
#include "FlashUtilityWindow.h"
#include "NetworkScan.h"
#include "WorkingFolder.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <functional>

// A flash loader on an emulated bus, in its own working folder.
struct FlashLoader {
    explicit FlashLoader(const emu::Scenario &s = emu::Scenario::defaultBus())
        : bus(s), window(new FlashUtilityWindow(bus.driver))
    {
        window->show();
    }
    ~FlashLoader() { delete window; }

    FlashUtilityForm &f() { return window->form; }
    QString status() { return f().Text1->text(); }
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

    std::vector<std::vector<long long>> configCalls()
    {
        std::vector<std::vector<long long>> calls;
        for (const auto &e : bus.emulator.trace().calls("ConfigQwil"))
            calls.push_back(e.arguments);
        return calls;
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

    WorkingFolder folder;
    EmulatedBus bus;
    QPointer<FlashUtilityWindow> window;
};
