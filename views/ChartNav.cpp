#include "views/ChartNav.h"

namespace ChartNav {

int target(int current, int count, Direction direction)
{
    if (direction == Direction::Up)
        return current > 0 && current < count ? current - 1 : -1;
    if (count <= 0 || current >= count - 1)
        return -1;
    return current < 0 ? 0 : current + 1;
}

} // namespace ChartNav
