#include "windows/flash/FlashDebugPane.h"

#include "windows/flash/FlashUtilityForm.h"

#include <QCheckBox>
#include <QPlainTextEdit>

bool FlashDebugPane::on() const
{
    return m_form.Check2->isChecked();
}

void FlashDebugPane::dump(std::span<const std::uint8_t> bytes)
{
    if (m_form.Check2->isHidden())
        return;
    const QString line = DebugDump::line(bytes);
    m_log.writeLine(line);
    m_form.Text8->setPlainText(DebugDump::appendToDebugText(m_form.Text8->toPlainText(), line));
}

void FlashDebugPane::append(const QString &text)
{
    m_form.Text8->setPlainText(m_form.Text8->toPlainText() + text);
}

void FlashDebugPane::openLog()
{
    if (!m_log.open())
        m_logProblem = QStringLiteral("Cannot write ") + QString::fromLatin1(DebugLogFile::FileName) +
                       QStringLiteral(": ") + m_log.errorString();
}

void FlashDebugPane::tellLogProblem()
{
    if (!m_logProblem.isEmpty())
        append(m_logProblem);
}
