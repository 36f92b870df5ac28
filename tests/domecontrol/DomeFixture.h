#pragma once

#include "DomeControlWindow.h"
#include "EmulatedBus.h"

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

    // Types digits and keys as the keypad's captions read: "25" then "Set".
    void type(const std::string &digits)
    {
        for (const char c : digits)
            QTest::mouseClick(f().Command15[c == '0' ? 10 : c - '1'], Qt::LeftButton);
    }
    void set() { QTest::mouseClick(f().Command15[9], Qt::LeftButton); }
    void clear() { QTest::mouseClick(f().Command15[11], Qt::LeftButton); }
    void click(QWidget *key) { QTest::mouseClick(key, Qt::LeftButton); }
    void camera(const std::string &number)
    {
        type(number);
        set();
    }

    // The arguments of every call of operation since the last mark.
    Calls calls(const std::string &operation)
    {
        Calls all;
        const auto entries = bus.emulator.trace().calls(operation);
        for (std::size_t i = marks[operation]; i < entries.size(); ++i)
            all.push_back(entries[i].arguments);
        return all;
    }
    // Forgets the calls made so far.
    void mark()
    {
        for (const char *operation : {"DevPan", "DevTilt", "DevZoom", "DevFocus", "DevIris", "DevTarget", "DevPattern",
                                      "MiscDevCtrl", "SndQwilData", "ConfigQwil", "CloseUSBDriver", "OpenUSBDriver",
                                      "SetConfigData", "GetConfigData", "DevPing"})
            marks[operation] = bus.emulator.trace().calls(operation).size();
    }
    emu::DomeState dome(std::uint8_t address = 1) { return bus.emulator.domeState(address).value(); }

    EmulatedBus bus;
    QPointer<DomeControlWindow> window;
    std::map<std::string, std::size_t> marks;
};
