#pragma once

#include "engines/flash/DebugDump.h"

#include <QString>

#include <cstdint>
#include <span>

struct FlashUtilityForm;

// The flash loader's debug box and its log file: with "Debug" ticked the messages sent
// and received are dumped there and written to "Debuginfo.txt".
class FlashDebugPane {
public:
    explicit FlashDebugPane(FlashUtilityForm &form) : m_form(form) {}

    bool on() const;
    void dump(std::span<const std::uint8_t> bytes);
    void append(const QString &text);

    // A log that cannot be written is told in the debug box by tellLogProblem.
    void openLog();
    void tellLogProblem();
    void closeLog() { m_log.close(); }

private:
    FlashUtilityForm &m_form;
    DebugLogFile m_log;
    QString m_logProblem; // why "Debuginfo.txt" cannot be written, when it cannot
};
