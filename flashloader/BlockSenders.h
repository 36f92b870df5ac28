#pragma once

#include "DownloadMessages.h"
#include "SRecord.h"

#include <functional>

// Cuts a download file into device data messages: records of 16 bytes each (short ones
// filled with zeros), up to 48 bytes a message and 64 messages a block, gaps between
// records sent as zeros.
class DeviceBlockSender {
public:
    enum class Outcome {
        Commit,      // the block is complete: commit it
        SendFailed,  // the driver refused a data message
        InvalidFile, // a record line is malformed or overlaps what was sent
    };

    struct Hooks {
        std::function<std::uint8_t()> advanceSequence;
        std::function<std::int32_t(const DownloadMessages::Bytes &, std::uint8_t sequence)> send;
        std::function<void()> pause;    // the short pause before every data message
        std::function<void()> lineRead; // progress
    };

    void startFile(long firstAddress);
    Outcome sendBlock(RecordFile &file, std::uint8_t deviceAddress, const Hooks &hooks);

    long firstAddress = 0;
    long nextAddress = 0;
    long expectedChecksum = 0;
    int messageCount = 0;
    std::int32_t lastResult = 0;

private:
    enum class Step { Continue, Commit, Failed, Invalid };
    Step sendGap(std::uint8_t deviceAddress, const Hooks &hooks);
    Step send(DownloadMessages::Bytes &message, std::uint8_t sequence, const Hooks &hooks);

    bool m_gapPending = false;
    long m_recordAddress = 0;
};

// Cuts a download file into module data blocks of consecutive records.
namespace ModuleBlockSender {

constexpr std::size_t UsbBlockLimit = 48;

struct Block {
    long address = 0;
    DownloadMessages::Bytes data;
    bool invalid = false;
};

// Reads the next block; adds (byte - 255) per data byte to erasedRangeChecksum.
Block next(RecordFile &file, std::size_t limit, long &erasedRangeChecksum, const std::function<void()> &lineRead);

} // namespace ModuleBlockSender
