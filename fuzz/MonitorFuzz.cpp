// Captured records turned into rows, and log files played back.
#include "FuzzInput.h"
#include "engines/monitor/MonitorLog.h"
#include "engines/monitor/MonitorRows.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A record as GetData fills its 101-byte buffer, count from the first byte.
    std::vector<std::uint8_t> buffer(101, 0);
    const std::size_t count = size > 0 ? std::min<std::size_t>(data[0], 100) : 0;
    for (std::size_t i = 1; i < size && i <= 101; ++i)
        buffer[i - 1] = data[i];
    const QString row = MonitorRows::text(buffer, static_cast<int>(count), MonitorRows::timeText(1.5, QLocale::c()));
    // A row that shows a command reads back, as a log line, as the message it was made of.
    if (count >= 9) {
        const auto back = MonitorLog::readRow(row);
        if (!back || !std::equal(back->bytes.begin(), back->bytes.end(), buffer.begin() + 3, buffer.begin() + count) ||
            back->bytes.size() != count - 3)
            __builtin_trap();
    }

    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("DL1.mon"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(fuzzBytes(data, size));
        file.close();
        LogReader reader;
        reader.open(path);
        while (!reader.atEnd()) {
            const QString line = reader.next();
            MonitorLog::aligned(line);
            MonitorLog::readRow(line);
        }
    }
    return 0;
}
