// The dome window's raw entries and the engineering panel's replies and values.
#include "FuzzInput.h"
#include "engines/dome/NcpcMessages.h"
#include "engines/dome/RawEntry.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = fuzzText(data, size);
    RawEntry::qwilData(text);
    RawEntry::configureQwil(text);
    RawEntry::setConfigBuffer(text);

    Ncpc::Choices choices;
    if (size > 0) {
        choices.pan = data[0] & 1;
        choices.tilt = data[0] & 2;
        choices.zoom = data[0] & 4;
        choices.units = static_cast<Ncpc::Units>((data[0] >> 3) % 3);
        choices.longForm = data[0] & 0x20;
    }
    Ncpc::set(1, choices, text, text, text);

    // A record as the receive poll hands it on: count from the first byte, the byte at
    // index count included.
    std::vector<std::uint8_t> record(101, 0);
    const std::size_t count = size > 0 ? std::min<std::size_t>(data[0], 100) : 0;
    for (std::size_t i = 1; i < size && i <= 101; ++i)
        record[i - 1] = data[i];
    Ncpc::decode(record, count);
    return 0;
}
