#pragma once

#include "EmulatedBus.h"
#include "windows/dome/DomeControlWindow.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

// A dome window on an emulated bus, with the calls it makes read back from the trace.
struct DomeWindow {
    using Calls = std::vector<std::vector<long long>>;

    explicit DomeWindow(const emu::Scenario &s = emu::Scenario::defaultBus())
        : bus(s), window(new DomeControlWindow(bus.driver))
    {
        window->show();
    }
    ~DomeWindow() { delete window; }

    DomeControlForm &f() { return window->form; }
    QString status() { return f().Text2->text(); }
    void click(QWidget *key) { QTest::mouseClick(key, Qt::LeftButton); }

    // The keypad as its captions read, S for "Set" and C for "Clear": camera 25 is "25S".
    void type(const std::string &keys)
    {
        for (const char c : keys)
            click(f().Command15[c == 'S' ? 9 : c == 'C' ? 11 : c == '0' ? 10 : c - '1']);
    }

    // The arguments of every call of operation since the last mark.
    Calls calls(const std::string &operation)
    {
        Calls all;
        const auto &entries = bus.emulator.trace().entries();
        for (std::size_t i = marked; i < entries.size(); ++i) {
            if (entries[i].kind == emu::TraceEntry::Kind::Call && entries[i].name == operation)
                all.push_back(entries[i].arguments);
        }
        return all;
    }
    // Forgets the calls made so far.
    void mark() { marked = bus.emulator.trace().entries().size(); }

    EmulatedBus bus;
    QPointer<DomeControlWindow> window;
    std::size_t marked = 0;
};
