#include "core/Beep.h"

#include <utility>

namespace Beep {
namespace {
int s_count = 0;
std::function<void()> s_sound;
} // namespace

void beep()
{
    ++s_count;
    if (s_sound)
        s_sound();
}

int count()
{
    return s_count;
}

void setSound(std::function<void()> sound)
{
    s_sound = std::move(sound);
}
} // namespace Beep
