#include "engines/flash/SRecord.h"

#include "core/RegularFile.h"
#include "core/TextFormat.h"

#include <algorithm>

namespace SRecord {

int digit(QChar c)
{
    const char16_t code = c.unicode();
    if (code >= u'0' && code <= u'9')
        return code - u'0';
    if (code >= u'A' && code <= u'F')
        return code - u'A' + 10;
    return -1;
}

bool opensSection(const QString &line)
{
    return line.size() >= 2 && line[1] == QLatin1Char('0');
}

std::optional<Record> parse(const QString &line, QString *why)
{
    const auto refuse = [why](const char *reason) -> std::optional<Record> {
        if (why)
            *why = QString::fromLatin1(reason);
        return std::nullopt;
    };
    const QString text = line.trimmed();
    // Read as Latin-1, a UTF-8 byte-order mark shows as these three characters.
    if (text.startsWith(QStringLiteral("\u00EF\u00BB\u00BF")) || text.startsWith(QChar(0xFEFF)))
        return refuse("begins with a byte-order mark");
    if (text.size() < 2 || text[0] != QLatin1Char('S'))
        return refuse("not an S-record");
    Record record;
    record.type = text[1];
    if (text.size() == 2)
        return record.isEnd() ? std::optional<Record>(record) : refuse("not an S-record");
    if (record.type == QLatin1Char('3') || record.type == QLatin1Char('7'))
        return refuse("S3 and S7 records (32-bit addresses) are not taken");

    std::vector<std::uint8_t> bytes;
    for (qsizetype i = 2; i + 1 < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0) {
            const QChar bad = high < 0 ? text[i] : text[i + 1];
            return refuse(bad.isLower() && digit(bad.toUpper()) >= 0 ? "lower-case hexadecimal digit"
                                                                     : "not a hexadecimal digit");
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    if (text.size() % 2 != 0 || bytes.empty())
        return refuse("odd number of digits");
    if (bytes[0] + 1u > bytes.size())
        return refuse("cut short: fewer bytes than its count");
    if (bytes[0] + 1u < bytes.size())
        return refuse("more bytes than its count");
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        sum += bytes[i];
    if (static_cast<std::uint8_t>(~sum & 0xFF) != bytes.back())
        return refuse("wrong checksum");

    const std::size_t addressBytes = record.type == QLatin1Char('2') || record.type == QLatin1Char('8') ? 3 : 2;
    if (bytes.size() < 1 + addressBytes + 1)
        return refuse("too short for its address");
    for (std::size_t i = 0; i < addressBytes; ++i)
        record.address = record.address * 256 + bytes[1 + i];
    record.data.assign(bytes.begin() + 1 + static_cast<std::ptrdiff_t>(addressBytes), bytes.end() - 1);
    if (!record.isHeader() && !record.isData() && !record.isEnd())
        return refuse("not a record type these files hold");
    return record;
}

bool holdsData(const QStringList &lines)
{
    return std::any_of(lines.begin(), lines.end(), [](const QString &line) {
        const auto record = parse(line);
        return record && record->isData();
    });
}

FileCheck check(const QStringList &lines)
{
    FileCheck result;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        const auto record = parse(lines[i], &result.reason);
        if (!record) {
            result.badLine = static_cast<int>(i + 1);
            return result;
        }
        result.holdsData = result.holdsData || record->isData();
    }
    return result;
}

Range addressRange(const QStringList &lines)
{
    std::optional<Record> first;
    std::optional<Record> last;
    if (!lines.isEmpty()) {
        first = parse(lines.first());
        if (first && first->isHeader() && lines.size() > 1)
            first = parse(lines.at(1));
        last = parse(lines.last());
        if (last && last->isEnd() && lines.size() > 1)
            last = parse(lines.at(lines.size() - 2));
    }
    // A file sent as it is may open with several header lines or close with several
    // end lines: then the first and last data records anywhere in it count.
    const auto dataRecord = [](auto begin, auto end) -> std::optional<Record> {
        for (auto it = begin; it != end; ++it) {
            if (auto record = parse(*it); record && record->isData())
                return record;
        }
        return std::nullopt;
    };
    if (!first || !first->isData())
        first = dataRecord(lines.cbegin(), lines.cend());
    if (!last || !last->isData())
        last = dataRecord(lines.crbegin(), lines.crend());
    Range range;
    range.first = first ? first->address : 0;
    range.last = last ? last->address + last->count() - 1 : range.first;
    return range;
}

Image image(const QStringList &lines)
{
    std::vector<Record> records;
    Image result;
    for (const QString &line : lines) {
        auto record = parse(line);
        if (!record || !record->isData() || record->data.empty())
            continue;
        const long last = record->address + record->count() - 1;
        if (records.empty() || record->address < result.first)
            result.first = record->address;
        if (records.empty() || last > result.last)
            result.last = last;
        records.push_back(std::move(*record));
    }
    if (records.empty())
        return result;
    // Later records overwrite earlier ones, as the flash ends up holding them.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(result.last - result.first + 1), 0xFF);
    for (const Record &record : records)
        std::copy(record.data.begin(), record.data.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(record.address - result.first));
    for (const std::uint8_t b : bytes)
        result.checksum += b;
    return result;
}

} // namespace SRecord

std::optional<QStringList> RecordFile::readLines(const QString &path, QString *why)
{
    const RegularFile::Content content = RegularFile::read(path, SRecord::MaxFileBytes);
    if (!content.bytes) {
        if (why)
            *why = content.why;
        return std::nullopt;
    }
    return TextFormat::lines(*content.bytes);
}

bool RecordFile::open(const QString &path)
{
    close();
    auto lines = readLines(path);
    if (!lines)
        return false;
    open(*lines);
    return true;
}

void RecordFile::open(const QStringList &lines)
{
    close();
    m_lines = lines;
    m_open = true;
}

void RecordFile::close()
{
    m_lines.clear();
    m_next = 0;
    m_current.clear();
    m_open = false;
}

bool RecordFile::readNext()
{
    if (atEnd())
        return false;
    m_current = m_lines[m_next++];
    return true;
}

void RecordFile::consume()
{
    if (!readNext())
        m_current.clear();
}

bool RecordFile::exhausted() const
{
    const auto isData = [](const QString &line) {
        const auto record = SRecord::parse(line);
        return record && record->isData();
    };
    return !isData(m_current) && std::none_of(m_lines.begin() + m_next, m_lines.end(), isData);
}
