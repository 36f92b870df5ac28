#pragma once

#include <QString>

#include <functional>

// What the command line tells the flash loader.
struct FlashLoaderOptions {
    bool engineering = false; // Comm Port mode, the table generator, Debug, Pause and the keypad are offered
    QString com1, com2;       // the serial devices COM 1 and COM 2 stand for

    // The device of COM port n (1 or 2): the one named for it, else the n-th serial port
    // the system lists, sorted by name; empty when there is none. Tests replace it.
    std::function<QString(int port)> portDevice;

    QString deviceOf(int port) const;
};
