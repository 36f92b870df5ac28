#include "Beep.h"

#include <QApplication>

namespace Beep {
namespace {
int s_count = 0;
}

void beep()
{
    ++s_count;
    QApplication::beep();
}

int count()
{
    return s_count;
}
} // namespace Beep
