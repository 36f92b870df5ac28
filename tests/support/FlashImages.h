#pragma once

#include "emulator/FlashMemory.h"
#include "engines/flash/SRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>

// The firmware's images as the device loader receives them: sections 2, 3 (when its
// download file has ten lines or more) and 4 on, or the whole file when it is sent as it
// is; the data of every record at its address plus offset.
inline std::map<long, std::uint8_t> expectedImages(const QString &firmware, long offset, bool wholeFile = false)
{
    const auto lines = RecordFile::readLines(firmware);
    QList<QStringList> sections;
    for (qsizetype i = 0; lines && i < lines->size(); ++i) {
        if (i == 0 || SRecord::opensSection(lines->at(i)))
            sections.append(QStringList());
        sections.last().append(lines->at(i));
    }
    std::map<long, std::uint8_t> bytes;
    for (qsizetype s = wholeFile ? 0 : 1; s < sections.size(); ++s) {
        if (!wholeFile && s == 2 && sections[s].size() + 1 < 10)
            continue; // a text file of fewer than ten lines is not sent
        for (const QString &line : sections[s]) {
            const auto record = SRecord::parse(line);
            if (record && record->isData()) {
                for (std::size_t i = 0; i < record->data.size(); ++i)
                    bytes[record->address + offset + static_cast<long>(i)] = record->data[i];
            }
        }
    }
    return bytes;
}

// Bytes of the images missing from the flash, plus bytes the flash holds beyond them
// other than the zeros that pad records and fill gaps; an empty image never matches.
inline std::size_t flashDifferences(const emu::FlashMemory &flash, const std::map<long, std::uint8_t> &image)
{
    if (image.empty())
        return 1;
    std::size_t differences = 0;
    for (const auto &[address, value] : image)
        differences += flash.read(static_cast<std::uint32_t>(address)) != value ? 1 : 0;
    for (const auto &[address, value] : flash.written())
        differences += !image.count(address) && value != 0 ? 1 : 0;
    return differences;
}

// Whether the flash holds exactly the images of the firmware file, as expectedImages reads them.
inline bool holdsFirmware(const emu::FlashMemory &flash, const QString &firmware, long offset, bool wholeFile = false)
{
    return flashDifferences(flash, expectedImages(firmware, offset, wholeFile)) == 0;
}
