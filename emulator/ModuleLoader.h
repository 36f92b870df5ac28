#pragma once

#include "emulator/BusMessage.h"
#include "emulator/FlashMemory.h"
#include "emulator/LoaderFaults.h"

#include <optional>

namespace emu {

// The module's own boot loader: takes its firmware in blocks, reports the checksum of
// an address range (unwritten bytes count as 0xFF) and restarts when told to leave.
class ModuleLoader {
public:
    static constexpr std::uint8_t ReplyMarker = 0x17;
    static constexpr std::uint8_t StatusOk = 0;
    static constexpr std::uint8_t StatusChecksum = 1;
    static constexpr std::uint8_t StatusAddress = 3;
    static constexpr std::uint8_t StatusSequence = 4;
    static constexpr std::uint8_t StatusRequest = 6;
    static constexpr std::uint32_t FlashEnd = 0x3FFFF;

    explicit ModuleLoader(LoaderFaults faults = {}) : m_faults(std::move(faults)) {}

    // One loader message; returns the reply (0x17, code, status, ...) or nothing.
    std::optional<Bytes> receive(const Bytes &message);
    std::optional<Bytes> statusRequested();
    void abort()
    {
        m_active = false;
        m_heldBack.reset();
    }

    const FlashMemory &flash() const { return m_flash; }
    // The firmware a load of an earlier command left, as the bus remembers it.
    void restore(const FlashMemory &flash) { m_flash = flash; }
    bool active() const { return m_active; }
    // Set once the loader was left: the module restarts.
    bool restartPending() const { return m_restart; }
    void restarted() { m_restart = false; }
    // The PC's word when it let the loader go: the checksums of the image matched.
    bool imageAccepted() const { return m_imageAccepted; }
    // Where the firmware loaded last begins (its first block), once one was sent.
    std::optional<std::uint32_t> imageStart() const { return m_imageStart; }

private:
    std::optional<Bytes> answer(std::uint8_t code, std::uint8_t status, const Bytes &extra = {});

    LoaderFaults m_faults;
    FlashMemory m_flash;
    bool m_active = false;
    bool m_restart = false;
    bool m_imageAccepted = false;
    std::uint8_t m_nextSequence = 1;
    std::optional<Bytes> m_heldBack;
    std::optional<std::uint32_t> m_imageStart;
};

} // namespace emu
