#pragma once

#include <QMetaType>
#include <QString>

// How a job ended: a scan, the whole-file load of the module, one device's load or a batch
// of them, a serial run or erase, a capture run. The status text is what the status line
// says of it; faces decide from the kind.
struct JobOutcome {
    enum class Kind {
        Completed,    // everything was sent and the device or board confirmed it; a run went to its end
        Failed,       // the device, the board or the file stopped it; the text says why
        Refused,      // nothing was sent: the file or the request cannot be loaded
        ModuleLost,   // the module stopped answering the driver
        Interrupted,  // the user ended it, the abort was sent
        NotAttempted, // never reached: an earlier step ended the load
    };
    Kind kind = Kind::NotAttempted;
    QString text;

    bool completed() const { return kind == Kind::Completed; }
    // One word a script can test.
    QString word() const;
};

Q_DECLARE_METATYPE(JobOutcome)
