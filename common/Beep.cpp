#include "Beep.h"

#include <QApplication>

namespace Beep {
namespace {
int s_count = 0;
}

void beep()
{
    ++s_count;
    // Only windows beep; a command run from a terminal has no application of widgets.
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QApplication::beep();
}

int count()
{
    return s_count;
}
} // namespace Beep
