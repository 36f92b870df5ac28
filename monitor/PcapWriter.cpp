#include "PcapWriter.h"

#include "ModuleConnection.h"

#include <QFile>

#include <pcap/pcap.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr std::uint16_t TagEnd = 0;
constexpr std::uint16_t TagDissectorName = 12;
constexpr char DissectorName[] = "quillbus";
constexpr std::size_t FirstMessageByte = 3;

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
    // The byte at index count is the check byte, which the row leaves out as well.
    const std::span<const std::uint8_t> received = record.received();
    Message message;
    message.wallMs = wallMs;
    message.kind = record.bytes[0];
    message.driverBytes = static_cast<std::uint16_t>(record.bytes[1] << 8 | record.bytes[2]);
    message.moduleWord = moduleWord;
    if (received.size() > FirstMessageByte)
        message.bytes = received.subspan(FirstMessageByte);
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
    if (std::ferror(m_file) || (flushEachPacket && pcap_dump_flush(m_dumper) != 0))
        return fail(errno);
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
        // The dumper closes the file it was handed.
        pcap_dump_close(m_dumper);
        m_dumper = nullptr;
        m_file = nullptr;
    }
    if (m_pcap) {
        pcap_close(m_pcap);
        m_pcap = nullptr;
    }
    return whole;
}

bool PcapWriter::fail(int error)
{
    if (error == 0)
        error = EIO;
    m_readerGone = error == EPIPE;
    m_error = QString::fromLocal8Bit(std::strerror(error));
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
    return false;
}
