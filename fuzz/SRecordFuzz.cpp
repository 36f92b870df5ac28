// Firmware files and boot images: every line parsed, the address range, the boot image.
#include "FuzzInput.h"
#include "core/TextFormat.h"
#include "engines/flash/SRecord.h"
#include "engines/flash/SerialProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QStringList lines = TextFormat::lines(fuzzBytes(data, size));
    for (const QString &line : lines)
        SRecord::parse(line);
    SRecord::addressRange(lines);
    SRecord::holdsData(lines);
    QString why;
    SerialProtocol::bootImage(lines, &why);
    return 0;
}
