#include "engines/monitor/MonitorLog.h"

#include "core/RegularFile.h"
#include "core/TextFormat.h"

#include <QDate>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace MonitorLog {

QString defaultName(const QString &dateText, const QString &timeText, const QDate &today)
{
    QString date = dateText;
    const auto slashes = date.count(QLatin1Char('/'));
    if (slashes == 2) {
        date.remove(QLatin1Char('/'));
        date.chop(std::min<qsizetype>(6 - slashes, date.size()));
    } else {
        // A regional date without slashes: month and day, as the slash form gives them.
        date = today.toString(QStringLiteral("MMdd"));
    }
    QString time = timeText;
    time.remove(QLatin1Char(':'));
    // Drop what follows the digits ("AM", "PM", a zone) but keep every digit, so a
    // 24-hour clock keeps its seconds too and two logs of one minute get two names.
    while (!time.isEmpty() && !time.back().isDigit())
        time.chop(1);
    return QStringLiteral("DL") + date + QLatin1Char('_') + time + QStringLiteral(".mon");
}

QString aligned(const QString &field)
{
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    const qsizetype column = dot < 0 ? field.size() + 1 : dot + 1;
    return column < 4 ? QString(4 - column, QLatin1Char(' ')) + field : field;
}

namespace {
constexpr qsizetype HeaderChars = 10;

// Bytes from pairs of upper-case hex digits, as rows write them; nothing for other text.
std::optional<std::vector<std::uint8_t>> hexPairs(QStringView text)
{
    const auto digit = [](QChar c) {
        return c >= u'0' && c <= u'9' ? c.unicode() - u'0' : c >= u'A' && c <= u'F' ? c.unicode() - u'A' + 10 : -1;
    };
    if (text.isEmpty() || text.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}
} // namespace

// A time as the writer's locale wrote it, whatever the reader's: a decimal point or comma
// before the last three digits, and the other of the two between groups of thousands.
std::optional<double> rowSeconds(const QString &field)
{
    const qsizetype point = field.size() - 4;
    if (point < 1 || (field[point] != QLatin1Char('.') && field[point] != QLatin1Char(',')))
        return std::nullopt;
    const QChar group = field[point] == QLatin1Char('.') ? QLatin1Char(',') : QLatin1Char('.');
    double whole = 0;
    qsizetype digitsSinceGroup = 0;
    bool grouped = false;
    for (qsizetype i = 0; i < point; ++i) {
        const QChar c = field[i];
        if (c == group && i > 0 && (!grouped || digitsSinceGroup == 3)) {
            grouped = true;
            digitsSinceGroup = 0;
        } else if (c.isDigit() && c.unicode() < 0x80) {
            whole = whole * 10 + (c.unicode() - '0');
            ++digitsSinceGroup;
        } else {
            return std::nullopt;
        }
    }
    if (grouped && digitsSinceGroup != 3)
        return std::nullopt;
    int thousandths = 0;
    for (qsizetype i = point + 1; i < field.size(); ++i) {
        if (!field[i].isDigit() || field[i].unicode() >= 0x80)
            return std::nullopt;
        thousandths = thousandths * 10 + (field[i].unicode() - '0');
    }
    const double seconds = whole + thousandths / 1000.0;
    return std::isfinite(seconds) ? std::optional<double>(seconds) : std::nullopt;
}

// A row is its time, the message's first five bytes (fewer when it was shorter), " ** "
// where the monitor marked it, the command and parameters, and their description. The
// description's words are never upper-case hex pairs, so the data field is told from them.
std::optional<LoggedRow> readRow(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() < 2)
        return std::nullopt;
    LoggedRow row;
    const std::optional<double> seconds = rowSeconds(fields[0]);
    if (!seconds)
        return std::nullopt;
    row.seconds = *seconds;
    const auto header = hexPairs(fields[1]);
    if (!header || fields[1].size() > HeaderChars)
        return std::nullopt;
    row.bytes = *header;
    qsizetype next = fields.size() > 2 && fields[2] == QLatin1String("**") ? 3 : 2;
    if (fields[1].size() == HeaderChars && next < fields.size()) {
        if (const auto data = hexPairs(fields[next]))
            row.bytes.insert(row.bytes.end(), data->begin(), data->end());
    }
    return row;
}

} // namespace MonitorLog

bool LogWriter::create(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool LogWriter::writeRow(const QString &row)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray line = row.toLatin1() + "\r\n";
    return m_file.write(line) == line.size() && m_file.flush();
}

namespace {
constexpr qsizetype PieceBytes = 65536;

// Control characters (C0, DEL and C1) as "\xNN", so a log cannot drive the terminal.
QString escaped(const QByteArray &line)
{
    QString text;
    text.reserve(line.size());
    for (const char byte : line) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x20 || (code >= 0x7F && code < 0xA0))
            text += QStringLiteral("\\x") + QString::number(code, 16).rightJustified(2, QLatin1Char('0')).toUpper();
        else
            text += QChar(code);
    }
    return text;
}

// A row starts with its time: digits, a decimal separator and three digits.
bool startsWithRowTime(const QByteArray &line)
{
    qsizetype i = 0;
    while (i < line.size() && line[i] == ' ')
        ++i;
    const qsizetype digits = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i;
    if (i == digits || i >= line.size() || (line[i] != '.' && line[i] != ','))
        return false;
    for (int decimal = 1; decimal <= 3; ++decimal) {
        if (i + decimal >= line.size() || line[i + decimal] < '0' || line[i + decimal] > '9')
            return false;
    }
    return i + 4 == line.size() || line[i + 4] == ' ';
}
} // namespace

LogReader::~LogReader()
{
    close();
}

bool LogReader::open(const QString &path)
{
    close();
    m_error.clear();
    m_fd = RegularFile::open(path, &m_error);
    if (m_fd < 0)
        return false;
    if (!fill()) {
        close();
        return false;
    }
    const auto refuse = [this](const QString &rule) {
        close();
        m_error = QStringLiteral("not a monitor log: ") + rule;
        return false;
    };
    if (m_buffer.contains('\0'))
        return refuse(QStringLiteral("it holds binary data (a NUL byte)"));
    std::optional<QByteArray> first = readLine();
    while (first && first->trimmed().isEmpty())
        first = readLine();
    if (first && !startsWithRowTime(*first))
        return refuse(QStringLiteral("its first line does not start with a row's time (as 0.000)"));
    if (first)
        m_pending = escaped(*first);
    return true;
}

void LogReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_buffer.clear();
    m_at = 0;
    m_eof = false;
    m_pending.reset();
}

// Reads the next piece onto the buffer; false on a read error (then errorString says why).
bool LogReader::fill()
{
    if (m_at > 0) {
        m_buffer.remove(0, m_at);
        m_at = 0;
    }
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + PieceBytes);
    ssize_t got = -1;
    do
        got = ::read(m_fd, m_buffer.data() + had, PieceBytes);
    while (got < 0 && errno == EINTR);
    m_buffer.resize(had + std::max<qsizetype>(got, 0));
    if (got < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        m_eof = true;
        return false;
    }
    m_eof = got == 0;
    return true;
}

// The next line without its end (CR LF, LF or CR alone); nothing at the end of the file.
std::optional<QByteArray> LogReader::readLine()
{
    std::optional<QByteArray> line;
    for (;;) {
        if (!line && m_eof && m_at == m_buffer.size())
            return std::nullopt;
        qsizetype end = m_at;
        while (end < m_buffer.size() && m_buffer[end] != '\n' && m_buffer[end] != '\r')
            ++end;
        const bool ended = end < m_buffer.size();
        // A CR at the end of what is read may be the first half of a CR LF.
        if (ended && m_buffer[end] == '\r' && end + 1 == m_buffer.size() && !m_eof && fill())
            continue;
        if (!line && (ended || end - m_at >= MaxLineLength || m_eof))
            line = m_buffer.mid(m_at, std::min(end - m_at, MaxLineLength));
        if (ended) {
            m_at = end + 1;
            if (m_buffer[end] == '\r' && m_at < m_buffer.size() && m_buffer[m_at] == '\n')
                ++m_at;
            return line;
        }
        // The rest of an overlong line is passed over up to its end.
        m_at = line ? m_buffer.size() : m_at;
        if (m_eof || !fill()) {
            m_at = m_buffer.size();
            return line;
        }
    }
}

void LogReader::readAhead()
{
    const std::optional<QByteArray> line = readLine();
    if (line)
        m_pending = escaped(*line);
    else
        m_pending.reset();
}

QString LogReader::next()
{
    if (atEnd())
        return {};
    QString line = *m_pending;
    readAhead();
    qsizetype blanks = 0;
    while (blanks < line.size() && line[blanks] == QLatin1Char(' '))
        ++blanks;
    return line.mid(blanks);
}
