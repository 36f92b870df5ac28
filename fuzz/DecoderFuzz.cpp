// A bus message read as the monitor reads it, from raw bytes: any bytes read without a
// fault, and the reading keeps its own rules.
#include "base/MessageDecoder.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const MessageDecoder::Reading reading = MessageDecoder::read({data, size});
    const bool invalidText = reading.text == MessageDecoder::InvalidCommand;
    const bool broadcast = size > 0 && MessageDecoder::broadcast(data[0]);
    if (reading.invalid != invalidText || reading.invalid != MessageDecoder::invalid({data, size}) ||
        reading.marked != (broadcast || reading.invalid))
        __builtin_trap();
    // Without its command a message has no words.
    if (size <= MessageDecoder::CommandAt && !reading.text.empty())
        __builtin_trap();
    return 0;
}
