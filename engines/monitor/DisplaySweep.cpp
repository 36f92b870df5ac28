#include "engines/monitor/DisplaySweep.h"

namespace {
const QString CrLf = QStringLiteral("\r\n");
}

void DisplaySweep::show(const QString &line)
{
    if (m_paused)
        return;
    if (m_shown < Lines)
        ++m_shown;
    ++m_sweep;
    if (m_shown < Lines) {
        m_display += line + CrLf;
        if (m_sweep == Lines - 1)
            m_previous = m_display;
        return;
    }
    if (m_sweep > Lines - 1) {
        m_current = line;
        m_sweep = 1;
    } else {
        m_current += CrLf + line;
    }
    if (m_sweep == Lines - 1) {
        m_display = m_current;
        m_previous = m_display;
    } else {
        m_previous = withoutFirstLine(m_previous);
        m_display = m_current + CrLf + CrLf + m_previous;
    }
}

QString DisplaySweep::withoutFirstLine(const QString &buffer)
{
    const qsizetype cr = buffer.indexOf(QLatin1Char('\r'));
    return cr < 0 ? QString() : buffer.mid(cr + 2);
}

void DisplaySweep::clear()
{
    m_display.clear();
    m_shown = 0;
    m_sweep = 0;
}

void DisplaySweep::reset()
{
    m_shown = 1;
    m_sweep = 1;
}
