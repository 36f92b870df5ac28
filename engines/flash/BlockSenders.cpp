#include "engines/flash/BlockSenders.h"

using DownloadMessages::Bytes;

void DeviceBlockSender::startFile(long first)
{
    firstAddress = first;
    nextAddress = first;
    expectedChecksum = 0;
    messageCount = 0;
    m_gapPending = false;
    m_gapStarted = false;
    m_commitDue = false;
}

DeviceBlockSender::Action DeviceBlockSender::send(Bytes message, std::uint8_t sequence)
{
    ++messageCount;
    return {Action::Kind::Send, std::move(message), sequence};
}

// Every message of one gap carries the sequence number the gap took when it began.
DeviceBlockSender::Action DeviceBlockSender::nextGapMessage(std::uint8_t deviceAddress, const Hooks &hooks)
{
    if (!m_gapStarted) {
        m_gapStarted = true;
        m_gapSequence = hooks.advanceSequence();
        m_gapSent = 0;
    }
    const long gap = m_recordAddress - nextAddress;
    const long piece = std::min<long>(gap - m_gapSent, DownloadMessages::MaxDataBytes);
    Bytes message = DownloadMessages::dataHeader(deviceAddress);
    message.resize(message.size() + static_cast<std::size_t>(piece), 0);
    m_gapSent += piece;
    Action action = send(std::move(message), m_gapSequence);
    if (m_gapSent < gap) {
        if (messageCount >= DownloadMessages::MessagesPerBlock) {
            nextAddress += m_gapSent; // the rest of the gap follows the commit
            messageCount = 0;
            m_gapStarted = false;
            m_commitDue = true;
        }
        return action;
    }
    m_gapPending = false;
    m_gapStarted = false;
    nextAddress = m_recordAddress;
    if (messageCount >= DownloadMessages::MessagesPerBlock) {
        firstAddress = nextAddress;
        messageCount = 0;
        m_commitDue = true;
    }
    return action;
}

DeviceBlockSender::Action DeviceBlockSender::next(RecordFile &file, std::uint8_t deviceAddress, const Hooks &hooks)
{
    if (m_commitDue) {
        m_commitDue = false;
        return {Action::Kind::Commit, {}, 0};
    }
    if (m_gapPending)
        return nextGapMessage(deviceAddress, hooks);

    // Header lines open the images; a file sent as it is may hold several in a row.
    while (SRecord::opensSection(file.current()) && file.readNext())
        hooks.lineRead();
    auto record = SRecord::parse(file.current());
    if (file.current().isEmpty() && file.atEnd())
        return {Action::Kind::Commit, {}, 0};
    if (!record || record->isHeader())
        return {Action::Kind::Invalid, {}, 0};
    if (record->isEnd()) {
        file.readNext();
        return {Action::Kind::Commit, {}, 0};
    }
    // A record that does not continue the data sent so far: zeros fill the way to it.
    if (record->address > nextAddress) {
        m_gapPending = true;
        m_recordAddress = record->address;
        return nextGapMessage(deviceAddress, hooks);
    }
    if (record->address < nextAddress)
        return {Action::Kind::Invalid, {}, 0};
    return nextDataMessage(file, deviceAddress, hooks, std::move(record));
}

// One data message of the records that follow each other from nextAddress on, as many as
// it holds; the block is committed after it when it is full or the file has ended.
DeviceBlockSender::Action DeviceBlockSender::nextDataMessage(RecordFile &file, std::uint8_t deviceAddress,
                                                             const Hooks &hooks, std::optional<SRecord::Record> record)
{
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
            return {Action::Kind::Invalid, {}, 0};
        if (!record->isData())
            break;
        if (record->address == nextAddress && length + record->data.size() <= DownloadMessages::MaxDataBytes)
            continue;
        if (record->address > nextAddress) {
            m_gapPending = true;
            m_recordAddress = record->address;
        } else if (record->address < nextAddress && !endBefore(message, length, record->address)) {
            return {Action::Kind::Invalid, {}, 0};
        }
        break;
    }

    Action action = send(std::move(message), sequence);
    if (file.exhausted() || messageCount >= DownloadMessages::MessagesPerBlock) {
        messageCount = 0;
        m_commitDue = true;
    }
    return action;
}

// The next record overlaps what the message holds: the message ends where that record
// begins, and the block closes so the record gets its own address. False when the
// overlap reaches back past the message's data.
bool DeviceBlockSender::endBefore(Bytes &message, std::size_t length, long recordAddress)
{
    const auto overlap = static_cast<std::size_t>(nextAddress - recordAddress);
    if (overlap > length)
        return false;
    for (std::size_t i = message.size() - overlap; i < message.size(); ++i)
        expectedChecksum -= message[i];
    message.resize(message.size() - overlap);
    nextAddress = recordAddress;
    messageCount = DownloadMessages::MessagesPerBlock - 1;
    return true;
}

bool DeviceBlockSender::sendsWhole(const QStringList &lines)
{
    RecordFile file;
    file.open(lines);
    file.readNext();
    DeviceBlockSender sender;
    sender.startFile(SRecord::addressRange(lines).first);
    const Hooks hooks{[] { return std::uint8_t{1}; }, [] {}};
    bool sentSinceCommit = true;
    qsizetype lineAtCommit = -1;
    for (;;) {
        const Action action = sender.next(file, 0, hooks);
        if (action.kind == Action::Kind::Invalid)
            return false;
        if (action.kind == Action::Kind::Send) {
            sentSinceCommit = true;
            continue;
        }
        if (file.exhausted())
            return true;
        // A block that sends nothing and reads nothing would be committed for ever.
        if (!sentSinceCommit && file.position() == lineAtCommit)
            return false;
        sentSinceCommit = false;
        lineAtCommit = file.position();
        sender.firstAddress = sender.nextAddress;
    }
}

namespace ModuleBlockSender {

Block next(RecordFile &file, std::size_t limit, const std::function<void()> &lineRead)
{
    Block block;
    long nextAddress = -1;
    for (;;) {
        const auto record = SRecord::parse(file.current());
        if (!record && !file.current().trimmed().isEmpty()) {
            block.invalid = true;
            return block;
        }
        // Blank lines, headers and end records are passed over before a block; after one
        // they end it. An empty block means no data is left.
        if (!record || !record->isData()) {
            if (nextAddress >= 0 || !file.readNext())
                return block;
            lineRead();
            continue;
        }
        if (nextAddress >= 0 && (record->address != nextAddress || block.data.size() + record->data.size() > limit))
            return block;
        if (nextAddress < 0)
            block.address = record->address;
        block.data.insert(block.data.end(), record->data.begin(), record->data.end());
        nextAddress = record->address + record->count();
        file.consume();
        lineRead();
    }
}

} // namespace ModuleBlockSender
