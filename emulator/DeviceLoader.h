#pragma once

#include "emulator/BusMessage.h"
#include "emulator/FlashMemory.h"
#include "emulator/LoaderFaults.h"

#include <optional>

namespace emu {

// A device's boot loader: takes a firmware file block by block over the download
// socket, checks sequence numbers, block addresses, block size and the file checksum,
// and keeps what it flashed.
class DeviceLoader {
public:
    static constexpr std::uint8_t Reply = 0x70;
    static constexpr std::uint8_t StatusOk = 0;
    static constexpr std::uint8_t StatusOverflow = 3;
    static constexpr std::uint8_t StatusSequence = 4;
    static constexpr std::uint8_t StatusChecksum = 5;
    static constexpr std::uint8_t StatusAddress = 11;
    // Data one block may hold before the device's buffer overflows.
    static constexpr std::size_t MaxBlock = 64 * 48;
    // Highest address the device's flash holds.
    static constexpr std::uint32_t FlashEnd = 0x7FFFF;

    explicit DeviceLoader(LoaderFaults faults = {}) : m_faults(std::move(faults)) {}

    // Handles one download message with its sequence number; returns the status to
    // answer with, or nothing when the message is not answered (now).
    std::optional<std::uint8_t> receive(const Bytes &message, std::uint8_t sequence);
    // The module asks for the status: a held-back answer is given now.
    std::optional<std::uint8_t> statusRequested();
    // The module gave up: the loader starts over.
    void abort();

    const FlashMemory &flash() const { return m_flash; }
    bool inLoader() const { return m_connected; }
    int filesAccepted() const { return m_filesAccepted; }
    std::uint8_t imageType() const { return m_imageType; }
    // The revision the firmware loaded last carries, once its first file was accepted.
    std::optional<std::uint16_t> flashedRevision() const { return m_flashedRevision; }
    // The firmware a load of an earlier command left, as the bus remembers it.
    void restore(const FlashMemory &flash, std::uint16_t revision)
    {
        m_flash = flash;
        m_flashedRevision = revision;
    }

private:
    std::optional<std::uint8_t> answer(std::uint8_t step, std::uint8_t status);
    std::optional<std::uint8_t> receiveProgramming(const Bytes &message);
    std::optional<std::uint8_t> fileChecksum(std::uint16_t sent);
    bool sequenceFollows(std::uint8_t sequence);

    LoaderFaults m_faults;
    FlashMemory m_flash;
    bool m_connected = false;
    bool m_programming = false;
    std::uint8_t m_imageType = 0;
    std::uint8_t m_lastSequence = 0;
    std::uint32_t m_blockAddress = 0;
    Bytes m_block;
    std::uint16_t m_fileSum = 0;
    int m_filesAccepted = 0;
    std::optional<std::uint8_t> m_heldBack;
    int m_filesThisConnection = 0;
    std::optional<std::uint32_t> m_fileStart; // the first block address of the file
    std::optional<std::uint16_t> m_flashedRevision;
};

} // namespace emu
