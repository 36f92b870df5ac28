#pragma once

#include "emulator/BusMessage.h"
#include "emulator/FlashMemory.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace emu {

// A board programmed over its serial port: a ROM loader that takes a raw boot image at
// 9600 baud, the boot image that takes the flash loader in framed blocks, and the flash
// loader that, at 38400 baud, programs, checks and erases the board's 22-sector flash.
// It answers with single bytes: "0" done, "1"-"3" erase error, "4"-"9" programming error
// (a bad block sum, a block reaching past SA21),
// "i" and a 32-bit sum for a checksum request.
class BoardModel {
public:
    static constexpr std::size_t BootImageBytes = 581;
    static constexpr int RomBaud = 9600, LoaderBaud = 38400;
    static constexpr int Sectors = 22;
    enum class Stage { Rom, BootImage, FlashLoader };

    // Faults a test chooses; each answers in place of the normal reply.
    struct Faults {
        char eraseError = 0;       // '1'-'3' for an erase
        char programmingError = 0; // '4'-'9' for the next application block
        bool wrongChecksum = false;
        bool silentBlocks = false; // application blocks go unanswered
        bool splitReport = false;  // the checksum report comes in two pieces
        int eraseMs = 0;           // how long an erase takes
    };
    struct Reply {
        Bytes bytes;
        int delayMs = 0;
    };

    // Bytes arriving at the line speed the port is set to.
    std::vector<Reply> receive(const Bytes &bytes, int baud);

    void setFaults(const Faults &faults) { m_faults = faults; }
    // Power off and on: the ROM loader runs again; the flash keeps what it holds.
    void powerCycle();
    Stage stage() const { return m_stage; }
    const Bytes &bootImage() const { return m_bootImage; }
    const FlashMemory &loaderMemory() const { return m_loader; }
    const FlashMemory &flash() const { return m_flash; }
    int erasedSectors() const { return m_erasedSectors; }
    // Every command and block the board took, in order, as it arrived.
    const std::vector<Bytes> &commands() const { return m_commands; }
    // The sector an address lies in: SA0-SA7 of 8 KiB, then SA8-SA21 of 64 KiB.
    static std::uint32_t sectorStart(int sector);
    static std::uint32_t sectorSize(int sector);

private:
    std::vector<Reply> command(std::uint8_t byte);
    std::vector<Reply> frameDone();
    void eraseSector(int sector);

    Stage m_stage = Stage::Rom;
    Faults m_faults;
    Bytes m_bootImage;
    Bytes m_pending;                     // a command or frame still arriving
    std::optional<Bytes> m_frameWaiting; // a flash loader block waiting for "g"
    FlashMemory m_loader;
    FlashMemory m_flash;
    int m_erasedSectors = 0;
    std::vector<Bytes> m_commands;
};

} // namespace emu
