#include "engines/flash/DebugDump.h"

#include "core/TextFormat.h"

namespace DebugDump {

QString line(std::span<const std::uint8_t> bytes)
{
    return TextFormat::hexBytes(bytes);
}

QString appendToDebugText(const QString &current, const QString &line)
{
    if (current.size() > MaxDebugText)
        return line;
    return current + QLatin1Char('\n') + line;
}

} // namespace DebugDump

bool DebugLogFile::open()
{
    m_file.close();
    m_file.setFileName(QString::fromLatin1(FileName));
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void DebugLogFile::close()
{
    m_file.close();
}

void DebugLogFile::writeLine(const QString &line)
{
    if (!m_file.isOpen())
        return;
    m_file.write(line.toLatin1());
    m_file.write("\r\n", 2);
    m_file.flush();
}
