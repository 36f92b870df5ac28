#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Walks the selected rows of the device list to the next device to load.
namespace DeviceSelection {

// Types whose firmware loads at the known address offset.
bool isListedType(const QString &type);
// Dome 0147 at revisions 0100 to 0102 cannot take a download.
bool isRefusedDome(const QString &type, const QString &revision);

struct Choice {
    enum Result { NoneLeft = 0, Chosen = -1, RefusedDome = 2 };
    int result = NoneLeft;
    int nextRow = 0;
    int deviceAddress = 0;
    QString type;
    QString revision;
    bool knownType = false;
    // The chosen address gave no reply: the user picks its firmware file by hand.
    bool needsFileByHand = false;
    std::vector<int> rowsToDeselect;
};

Choice findNextDevice(const QStringList &rows, const std::vector<bool> &selected, int nextRow);

} // namespace DeviceSelection
