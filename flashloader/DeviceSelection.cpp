#include "DeviceSelection.h"

#include "ScanRules.h"

namespace DeviceSelection {
namespace {
const QString BlankType = QStringLiteral("    ");
}

bool isListedType(const QString &type)
{
    static const QStringList listed{"2315", "2507", "4008", "4009", "2843", "0156", "0174"};
    return listed.contains(type);
}

bool isRefusedDome(const QString &type, const QString &revision)
{
    return type == QStringLiteral("0147") && (revision == QStringLiteral("0100") ||
                                              revision == QStringLiteral("0101") || revision == QStringLiteral("0102"));
}

Choice findNextDevice(const QStringList &rows, const std::vector<bool> &selected, int nextRow)
{
    Choice choice;
    choice.nextRow = nextRow;
    const int count = static_cast<int>(rows.size());
    for (int i = nextRow; i < count; ++i) {
        choice.nextRow = i + 1;
        if (i >= static_cast<int>(selected.size()) || !selected[i])
            continue;
        choice.result = Choice::Chosen;
        choice.deviceAddress = i + 1;
        choice.type = ScanRules::rowType(rows[i]).leftJustified(4, QLatin1Char(' '), true);
        choice.revision = ScanRules::rowRevision(rows[i]).leftJustified(4, QLatin1Char(' '), true);
        if (choice.type != BlankType || count == 1)
            break;
        // An address that gave no reply is passed over while a later selected row follows.
        choice.rowsToDeselect.push_back(i);
    }
    if (choice.result == Choice::NoneLeft)
        return choice;

    if (isRefusedDome(choice.type, choice.revision))
        choice.result = Choice::RefusedDome;
    else if (isListedType(choice.type))
        choice.knownType = true;
    else if (choice.type == BlankType)
        choice.needsFileByHand = true;
    return choice;
}

} // namespace DeviceSelection
