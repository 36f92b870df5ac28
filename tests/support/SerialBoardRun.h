#pragma once

#include "core/TimeSource.h"

#include <QCoreApplication>
#include <QStringList>

#include <functional>

// The files a serial run reads from the demo folder: the boot image, the flash loader and
// the board's application.
inline const QStringList LoaderFiles{QStringLiteral("BootLdr.dwn"), QStringLiteral("FlshLdr.dwn"),
                                     QStringLiteral("Board-0100.hex")};

// Moves the manual clock on a millisecond at a time while the terminal's bytes flow,
// until done() holds.
inline bool runUntil(TimeSource::ManualTimeScope &time, const std::function<bool()> &done, int limitMs = 200000)
{
    for (int ms = 0; ms < limitMs; ++ms) {
        QCoreApplication::processEvents();
        if (done())
            return true;
        time.clock().advance(1);
    }
    return done();
}
