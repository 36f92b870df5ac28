// The serial board's replies as the loader reads them, and the bytes the emulated board
// reads from its line at either speed.
#include "emulator/BoardModel.h"
#include "engines/flash/SerialProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const SerialProtocol::Bytes bytes(data, data + size);
    if (!bytes.empty())
        SerialProtocol::classify(bytes.front());
    SerialProtocol::reportedChecksum(bytes);

    emu::BoardModel board;
    const std::size_t half = size / 2;
    board.receive(emu::Bytes(data, data + half), emu::BoardModel::RomBaud);
    board.receive(emu::Bytes(data + half, data + size), emu::BoardModel::LoaderBaud);
    return 0;
}
