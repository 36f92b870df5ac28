#pragma once

#include <QString>

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

struct ModuleRecord;
struct pcap;
struct pcap_dumper;

// Writes the monitor's messages as a capture file that Wireshark opens and decodes.
//
// Each packet is an exported PDU (link type 252) whose first tag names the "quillbus"
// dissector, so Wireshark hands it to our dissector with no preference set. A user link
// type (147-162) would work only after every user had mapped it to the dissector by hand.
// After the tags come the record's first three bytes as the driver gave them (its kind and
// the two bytes the driver keeps), the module's connection word (its status, or the
// driver's error code, as OpenUSBDriver answered it; big-endian), then the message as it
// crossed the bus, check byte left out.
class PcapWriter {
public:
    static constexpr int LinkType = 252; // LINKTYPE_WIRESHARK_UPPER_PDU
    static constexpr int SnapLength = 65535;

    struct Message {
        std::int64_t wallMs = 0;             // when the module answered, in milliseconds since the epoch
        std::uint8_t kind = 0;               // 1 from the module, 2 a bus message, 0 not known (read from a log)
        std::uint16_t driverBytes = 0;       // the record's bytes 1 and 2
        std::int32_t moduleWord = 0;         // the module's connection word
        std::span<const std::uint8_t> bytes; // address, source, flags, socket, 0x01, command, parameters
    };

    // A captured record's message; the span points into record.
    static Message fromRecord(const ModuleRecord &record, std::int64_t wallMs, std::int32_t moduleWord);
    // What a packet holds: the tags, the record's header and the message.
    static std::vector<std::uint8_t> packetData(const Message &message);

    PcapWriter() = default;
    ~PcapWriter();
    PcapWriter(const PcapWriter &) = delete;
    PcapWriter &operator=(const PcapWriter &) = delete;

    // Creates path ("-": standard output) and writes the file header. A FIFO opens when its
    // reader does.
    bool open(const QString &path);
    // With flushEachPacket, the packet reaches the reader at once (a pipe, a live capture).
    bool write(const Message &message);
    // Closes the file; false when what was written did not all reach it.
    bool close();
    bool isOpen() const { return m_dumper != nullptr; }
    QString errorString() const { return m_error; }
    // The reader at the other end of a pipe or FIFO has gone.
    bool readerGone() const { return m_readerGone; }

    bool flushEachPacket = false;

private:
    bool fail(int error);
    void cutToWholePackets(int descriptor) const;

    pcap *m_pcap = nullptr;
    pcap_dumper *m_dumper = nullptr;
    std::FILE *m_file = nullptr;
    QString m_error;
    bool m_readerGone = false;
    // Where the packets handed to the file since the last good flush end: a file that
    // fails is cut back to the last of them it holds whole.
    std::uint64_t m_flushedBytes = 0;
    std::vector<std::uint64_t> m_packetEnds;
};
