#include "engines/monitor/PcapWriter.h"

#include "driver/ModuleConnection.h"
#include "engines/monitor/MonitorRows.h"

#include <QFile>

#include <pcap/pcap.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr std::uint16_t TagEnd = 0;
constexpr std::uint16_t TagDissectorName = 12;
constexpr char DissectorName[] = "quillbus";
constexpr std::uint64_t FileHeaderBytes = 24;
constexpr std::uint64_t PacketHeaderBytes = 16;
// A file is flushed at least this often, so the packets a failure may cut stay few.
constexpr std::size_t PacketsBetweenFlushes = 256;

void put16(std::vector<std::uint8_t> &out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

// An exported-PDU tag: type and length big-endian, the value padded to four bytes.
void putTag(std::vector<std::uint8_t> &out, std::uint16_t tag, std::span<const char> value)
{
    put16(out, tag);
    put16(out, static_cast<std::uint16_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
    out.resize(out.size() + (4 - value.size() % 4) % 4, 0);
}
} // namespace

PcapWriter::Message PcapWriter::fromRecord(const ModuleRecord &record, std::int64_t wallMs, std::int32_t moduleWord)
{
    Message message;
    message.wallMs = wallMs;
    message.kind = record.bytes[0];
    message.driverBytes = static_cast<std::uint16_t>(record.bytes[1] << 8 | record.bytes[2]);
    message.moduleWord = moduleWord;
    message.bytes = MonitorRows::message(record.bytes, record.count);
    return message;
}

std::vector<std::uint8_t> PcapWriter::packetData(const Message &message)
{
    std::vector<std::uint8_t> out;
    out.reserve(20 + message.bytes.size());
    putTag(out, TagDissectorName, std::span<const char>(DissectorName, sizeof DissectorName - 1));
    putTag(out, TagEnd, {});
    out.push_back(message.kind);
    put16(out, message.driverBytes);
    const auto word = static_cast<std::uint32_t>(message.moduleWord);
    put16(out, static_cast<std::uint16_t>(word >> 16));
    put16(out, static_cast<std::uint16_t>(word & 0xFFFF));
    out.insert(out.end(), message.bytes.begin(), message.bytes.end());
    return out;
}

PcapWriter::~PcapWriter()
{
    close();
}

bool PcapWriter::open(const QString &path)
{
    close();
    m_error.clear();
    m_readerGone = false;
    m_flushedBytes = 0;
    m_packetEnds.clear();
    errno = 0;
    if (path == QLatin1String("-")) {
        const int out = ::dup(STDOUT_FILENO);
        m_file = out < 0 ? nullptr : ::fdopen(out, "wb");
        if (!m_file && out >= 0)
            ::close(out);
    } else {
        m_file = std::fopen(QFile::encodeName(path).constData(), "wb");
    }
    if (!m_file)
        return fail(errno);
    m_pcap = pcap_open_dead_with_tstamp_precision(LinkType, SnapLength, PCAP_TSTAMP_PRECISION_MICRO);
    if (m_pcap)
        m_dumper = pcap_dump_fopen(m_pcap, m_file);
    if (!m_dumper) {
        m_error = m_pcap ? QString::fromLocal8Bit(pcap_geterr(m_pcap)) : QStringLiteral("libpcap cannot start");
        std::fclose(m_file);
        m_file = nullptr;
        close();
        return false;
    }
    // The header reaches the reader at once: Wireshark waits for it before it shows anything.
    if (pcap_dump_flush(m_dumper) != 0)
        return fail(errno);
    m_flushedBytes = FileHeaderBytes;
    m_packetEnds.clear();
    return true;
}

bool PcapWriter::write(const Message &message)
{
    if (!m_dumper)
        return false;
    const std::vector<std::uint8_t> data = packetData(message);
    pcap_pkthdr header{};
    const std::int64_t ms = std::max<std::int64_t>(message.wallMs, 0);
    header.ts.tv_sec = static_cast<time_t>(ms / 1000);
    header.ts.tv_usec = static_cast<suseconds_t>(ms % 1000 * 1000);
    header.caplen = static_cast<bpf_u_int32>(data.size());
    header.len = header.caplen;
    errno = 0;
    pcap_dump(reinterpret_cast<u_char *>(m_dumper), &header, data.data());
    const std::uint64_t end =
        (m_packetEnds.empty() ? m_flushedBytes : m_packetEnds.back()) + PacketHeaderBytes + data.size();
    m_packetEnds.push_back(end);
    const bool flush = flushEachPacket || m_packetEnds.size() >= PacketsBetweenFlushes;
    if (std::ferror(m_file) || (flush && pcap_dump_flush(m_dumper) != 0))
        return fail(errno);
    if (flush) {
        m_flushedBytes = end;
        m_packetEnds.clear();
    }
    return true;
}

bool PcapWriter::close()
{
    bool whole = true;
    if (m_dumper) {
        errno = 0;
        whole = pcap_dump_flush(m_dumper) == 0 && !std::ferror(m_file);
        if (!whole && m_error.isEmpty())
            m_error = QString::fromLocal8Bit(std::strerror(errno ? errno : EIO));
        m_readerGone = m_readerGone || errno == EPIPE;
        const int kept = whole ? -1 : ::dup(::fileno(m_file));
        // The dumper closes the file it was handed.
        pcap_dump_close(m_dumper);
        cutToWholePackets(kept);
        m_dumper = nullptr;
        m_file = nullptr;
    }
    if (m_pcap) {
        pcap_close(m_pcap);
        m_pcap = nullptr;
    }
    return whole;
}

// A file that could not take a packet whole ends with the last packet it holds whole, so
// every reader sees a capture that stopped early, not one cut in a packet. Called with a
// duplicate of the file's descriptor once the stream is closed (nothing more reaches the
// file then), and closes it.
void PcapWriter::cutToWholePackets(int descriptor) const
{
    if (descriptor < 0)
        return;
    struct stat file {};
    if (::fstat(descriptor, &file) == 0 && S_ISREG(file.st_mode)) {
        const auto size = static_cast<std::uint64_t>(file.st_size);
        std::uint64_t whole = std::min<std::uint64_t>(m_flushedBytes, size);
        for (const std::uint64_t end : m_packetEnds) {
            if (end <= size)
                whole = end;
        }
        if (whole < size && ::ftruncate(descriptor, static_cast<off_t>(whole)) != 0) {
            // The file stays as the disk left it; the failure that led here is said already.
        }
    }
    ::close(descriptor);
}

bool PcapWriter::fail(int error)
{
    if (error == 0)
        error = EIO;
    m_readerGone = error == EPIPE;
    m_error = QString::fromLocal8Bit(std::strerror(error));
    const int kept = m_file ? ::dup(::fileno(m_file)) : -1;
    if (m_dumper) {
        // What is still buffered cannot reach the file either.
        pcap_dump_close(m_dumper);
        m_dumper = nullptr;
        m_file = nullptr;
    } else if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (m_pcap) {
        pcap_close(m_pcap);
        m_pcap = nullptr;
    }
    cutToWholePackets(kept);
    return false;
}
