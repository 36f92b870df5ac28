#pragma once

#include "engines/flash/ScanRules.h"

#include <QString>

#include <functional>
#include <span>
#include <vector>

// Walks the selected devices of the scan to the next device to load.
namespace DeviceSelection {

// Types whose firmware loads at the known address offset.
bool isListedType(const QString &type);
// A firmware file is named F, its four-character type and "-": a file of a listed type.
bool isKnownTypeFile(const QString &path);
// Dome 0147 at revisions 0100 to 0102 cannot take a download.
bool isRefusedDome(const QString &type, const QString &revision);

struct Choice {
    enum Result { NoneLeft = 0, Chosen = -1, RefusedDome = 2 };
    int result = NoneLeft;
    int nextRow = 0;
    int chosenRow = -1; // the chosen device's index in the scanned devices
    int deviceAddress = 0;
    QString type;
    QString revision;
    bool knownType = false;
    // The chosen address gave no reply: the user picks its firmware file by hand.
    bool needsFileByHand = false;
    std::vector<int> rowsToDeselect; // silent addresses passed over (never the chosen one)
};

// The next selected device from index nextRow of the scanned devices. An address that
// gave no reply is passed over while a later selected one follows, unless takeSilent says
// it is to be loaded all the same.
Choice findNextDevice(std::span<const ScanRules::ScannedDevice> devices, const std::vector<bool> &selected, int nextRow,
                      const std::function<bool(int address)> &takeSilent = {});

} // namespace DeviceSelection
