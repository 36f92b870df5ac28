#include "engines/flash/DeviceSelection.h"

#include <QStringList>

namespace DeviceSelection {

bool isListedType(const QString &type)
{
    static const QStringList listed{"2315", "2507", "4008", "4009", "2843", "0156", "0174"};
    return listed.contains(type);
}

bool isKnownTypeFile(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return name.size() > 5 && name[0].toUpper() == QLatin1Char('F') && name[5] == QLatin1Char('-') &&
           isListedType(name.mid(1, 4));
}

bool isRefusedDome(const QString &type, const QString &revision)
{
    return type == QStringLiteral("0147") && (revision == QStringLiteral("0100") ||
                                              revision == QStringLiteral("0101") || revision == QStringLiteral("0102"));
}

Choice findNextDevice(std::span<const ScanRules::ScannedDevice> devices, const std::vector<bool> &selected, int nextRow,
                      const std::function<bool(int address)> &takeSilent)
{
    Choice choice;
    choice.nextRow = nextRow;
    bool answered = false;
    const int count = static_cast<int>(devices.size());
    for (int i = nextRow; i < count; ++i) {
        choice.nextRow = i + 1;
        if (i >= static_cast<int>(selected.size()) || !selected[static_cast<std::size_t>(i)])
            continue;
        const ScanRules::ScannedDevice &device = devices[static_cast<std::size_t>(i)];
        choice.result = Choice::Chosen;
        choice.chosenRow = i;
        choice.deviceAddress = device.address;
        choice.type = device.type;
        choice.revision = device.revision;
        answered = device.answered;
        if (answered || count == 1 || (takeSilent && takeSilent(device.address)))
            break;
        choice.rowsToDeselect.push_back(i);
    }
    if (choice.result == Choice::NoneLeft)
        return choice;
    // The last selected address, silent too, is the one chosen: it is not passed over.
    if (!choice.rowsToDeselect.empty() && choice.rowsToDeselect.back() == choice.chosenRow)
        choice.rowsToDeselect.pop_back();

    if (isRefusedDome(choice.type, choice.revision))
        choice.result = Choice::RefusedDome;
    else if (isListedType(choice.type))
        choice.knownType = true;
    else if (!answered)
        choice.needsFileByHand = true;
    return choice;
}

} // namespace DeviceSelection
