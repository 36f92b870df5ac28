#pragma once

#include "engines/flash/DownloadMessages.h"
#include "engines/flash/SRecord.h"

#include <functional>

// Cuts a download file into device data messages, one message a call: records of 16
// bytes each (short ones filled with zeros), up to 48 bytes a message and 64 messages a
// block, gaps between records sent as zeros.
class DeviceBlockSender {
public:
    struct Action {
        enum class Kind {
            Send,    // send message with sequence, then ask again
            Commit,  // the block is complete: commit it
            Invalid, // a record line is malformed or overlaps what was sent
        };
        Kind kind = Kind::Commit;
        DownloadMessages::Bytes message;
        std::uint8_t sequence = 0;
    };

    struct Hooks {
        std::function<std::uint8_t()> advanceSequence;
        std::function<void()> lineRead; // progress
    };

    void startFile(long firstAddress);
    // What to do next in the block; the caller sends a message and then asks again.
    Action next(RecordFile &file, std::uint8_t deviceAddress, const Hooks &hooks);
    // Whether a file's lines go out to a device whole: the sender run over them block
    // after block as a load runs it, with nothing sent. A load checks this before its
    // first message, so that no device is left in its loader by a line it cannot send.
    static bool sendsWhole(const QStringList &lines);

    long firstAddress = 0;
    long nextAddress = 0;
    long expectedChecksum = 0;
    int messageCount = 0;

private:
    Action nextGapMessage(std::uint8_t deviceAddress, const Hooks &hooks);
    Action nextDataMessage(RecordFile &file, std::uint8_t deviceAddress, const Hooks &hooks,
                           std::optional<SRecord::Record> record);
    bool endBefore(DownloadMessages::Bytes &message, std::size_t length, long recordAddress);
    Action send(DownloadMessages::Bytes message, std::uint8_t sequence);

    bool m_gapPending = false;
    bool m_gapStarted = false;
    std::uint8_t m_gapSequence = 0;
    long m_gapSent = 0;
    long m_recordAddress = 0;
    bool m_commitDue = false;
};

// Cuts a download file into module data blocks of consecutive records.
namespace ModuleBlockSender {

constexpr std::size_t UsbBlockLimit = 48;

struct Block {
    long address = 0;
    DownloadMessages::Bytes data;
    bool invalid = false;
};

// Reads the next block of consecutive data records, lines that are not data passed over;
// an empty block when no data is left.
Block next(RecordFile &file, std::size_t limit, const std::function<void()> &lineRead);

} // namespace ModuleBlockSender
