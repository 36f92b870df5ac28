#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <span>

// The flash loader's debug dump: one upper-case hexadecimal line per message, written
// to "Debuginfo.txt" and appended to the debug text box.
namespace DebugDump {

// The debug text box is replaced by the new line once it holds more than this.
constexpr qsizetype MaxDebugText = 60000;

QString line(std::span<const std::uint8_t> bytes);

// The debug text box after a line is added: a line break and the line, or the line
// alone when the box already holds more than MaxDebugText characters.
QString appendToDebugText(const QString &current, const QString &line);

} // namespace DebugDump

// "Debuginfo.txt" in the working folder: emptied when the window opens, one line per
// dumped message, closed when the window closes.
class DebugLogFile {
public:
    static constexpr const char *FileName = "Debuginfo.txt";

    bool open();
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    void writeLine(const QString &line);
    QString errorString() const { return m_file.errorString(); }

private:
    QFile m_file;
};
