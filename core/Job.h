#pragma once

#include "core/JobOutcome.h"

#include <QObject>

// A job an engine runs: a scan, a device's or the module's load, a batch of device loads,
// a serial run or erase, a capture run. It checks its inputs before its first byte goes
// out, says started, then what it does in events of its own, then exactly one ended.
// Faces watch it; what they enable or show while it runs comes from running() and these.
class Job : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // From its first byte until it has ended.
    virtual bool running() const = 0;
    // Ends the job from any state as a failure ends it (the abort byte to the device in
    // hand, the module left as a failure leaves it); ended follows, at once or after the
    // step in hand. Nothing happens when it is not running.
    virtual void cancel() = 0;

signals:
    void started();
    void ended(const JobOutcome &outcome);
};
