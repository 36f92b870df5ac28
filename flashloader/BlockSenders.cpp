#include "BlockSenders.h"

using DownloadMessages::Bytes;

void DeviceBlockSender::startFile(long first)
{
    firstAddress = first;
    nextAddress = first;
    expectedChecksum = 0;
    messageCount = 0;
    m_gapPending = false;
}

DeviceBlockSender::Step DeviceBlockSender::send(Bytes &message, std::uint8_t sequence, const Hooks &hooks)
{
    ++messageCount;
    hooks.pause();
    lastResult = hooks.send(message, sequence);
    return lastResult == 0 || lastResult == 7 ? Step::Continue : Step::Failed;
}

DeviceBlockSender::Step DeviceBlockSender::sendGap(std::uint8_t deviceAddress, const Hooks &hooks)
{
    const std::uint8_t sequence = hooks.advanceSequence();
    const long gap = m_recordAddress - nextAddress;
    long sent = 0;
    while (sent < gap) {
        const long piece = std::min<long>(gap - sent, DownloadMessages::MaxDataBytes);
        Bytes message = DownloadMessages::dataHeader(deviceAddress);
        message.resize(message.size() + static_cast<std::size_t>(piece), 0);
        if (send(message, sequence, hooks) == Step::Failed)
            return Step::Failed;
        sent += piece;
        if (messageCount >= DownloadMessages::MessagesPerBlock && sent < gap) {
            nextAddress += sent; // the rest of the gap follows the commit
            messageCount = 0;
            return Step::Commit;
        }
    }
    m_gapPending = false;
    nextAddress = m_recordAddress;
    if (messageCount >= DownloadMessages::MessagesPerBlock) {
        firstAddress = nextAddress;
        messageCount = 0;
        return Step::Commit;
    }
    return Step::Continue;
}

DeviceBlockSender::Outcome DeviceBlockSender::sendBlock(RecordFile &file, std::uint8_t deviceAddress,
                                                        const Hooks &hooks)
{
    const auto outcomeOf = [](Step step) {
        return step == Step::Failed    ? Outcome::SendFailed
               : step == Step::Invalid ? Outcome::InvalidFile
                                       : Outcome::Commit;
    };
    for (;;) {
        if (m_gapPending) {
            const Step step = sendGap(deviceAddress, hooks);
            if (step != Step::Continue)
                return outcomeOf(step);
        }

        // Header lines open the images; a file sent as it is may hold several in a row.
        while (SRecord::opensSection(file.current()) && file.readNext())
            hooks.lineRead();
        auto record = SRecord::parse(file.current());
        if (file.current().isEmpty() && file.atEnd())
            return Outcome::Commit;
        if (!record || record->isHeader())
            return Outcome::InvalidFile;
        if (record->isEnd()) {
            file.readNext();
            return Outcome::Commit;
        }
        // A record that does not continue the data sent so far: zeros fill the way to it.
        if (record->address > nextAddress) {
            m_gapPending = true;
            m_recordAddress = record->address;
            continue;
        }
        if (record->address < nextAddress)
            return Outcome::InvalidFile;

        Bytes message = DownloadMessages::dataHeader(deviceAddress);
        const std::uint8_t sequence = hooks.advanceSequence();
        for (;;) {
            for (const std::uint8_t b : record->data) {
                message.push_back(b);
                expectedChecksum += b;
            }
            nextAddress = record->address + 16;
            if (record->count() < 16)
                message.resize(message.size() + static_cast<std::size_t>(16 - record->count()), 0);
            const std::size_t length = message.size() - DownloadMessages::DataHeaderSize;

            if (file.atEnd()) {
                file.consume();
                break;
            }
            file.readNext();
            hooks.lineRead();
            record = SRecord::parse(file.current());
            if (!record)
                return Outcome::InvalidFile;
            if (!record->isData())
                break;
            if (record->address == nextAddress && length + record->data.size() <= DownloadMessages::MaxDataBytes)
                continue;
            if (record->address > nextAddress) {
                m_gapPending = true;
                m_recordAddress = record->address;
            } else if (record->address < nextAddress) {
                // The next record overlaps what this message holds: the message ends where
                // that record begins, and the block closes so the record gets its own address.
                const auto overlap = static_cast<std::size_t>(nextAddress - record->address);
                if (overlap > length)
                    return Outcome::InvalidFile;
                for (std::size_t i = message.size() - overlap; i < message.size(); ++i)
                    expectedChecksum -= message[i];
                message.resize(message.size() - overlap);
                nextAddress = record->address;
                messageCount = DownloadMessages::MessagesPerBlock - 1;
            }
            break;
        }

        if (send(message, sequence, hooks) == Step::Failed)
            return Outcome::SendFailed;
        if (file.exhausted() || messageCount >= DownloadMessages::MessagesPerBlock) {
            messageCount = 0;
            return Outcome::Commit;
        }
    }
}

namespace ModuleBlockSender {

Block next(RecordFile &file, std::size_t limit, long &erasedRangeChecksum, const std::function<void()> &lineRead)
{
    Block block;
    if (SRecord::opensSection(file.current())) {
        file.readNext();
        lineRead();
    }
    long nextAddress = -1;
    for (;;) {
        const auto record = SRecord::parse(file.current());
        if (!record) {
            block.invalid = !file.current().isEmpty();
            return block;
        }
        if (!record->isData())
            return block;
        if (nextAddress >= 0 && (record->address != nextAddress || block.data.size() + record->data.size() > limit))
            return block;
        if (nextAddress < 0)
            block.address = record->address;
        for (const std::uint8_t b : record->data) {
            block.data.push_back(b);
            erasedRangeChecksum += static_cast<long>(b) - 255;
        }
        nextAddress = record->address + record->count();
        file.consume();
        lineRead();
    }
}

} // namespace ModuleBlockSender
