#include "core/JobOutcome.h"

QString JobOutcome::word() const
{
    switch (kind) {
    case Kind::Completed: return QStringLiteral("loaded");
    case Kind::Failed: return QStringLiteral("failed");
    case Kind::Refused: return QStringLiteral("refused");
    case Kind::ModuleLost: return QStringLiteral("module lost");
    case Kind::Interrupted: return QStringLiteral("interrupted");
    case Kind::NotAttempted: break;
    }
    return QStringLiteral("not loaded");
}
