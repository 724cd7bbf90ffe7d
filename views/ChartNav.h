#pragma once

// The history chart's arrow buttons step through the system list by its selection.
namespace ChartNav {

enum class Direction { Up, Down };

// The list index to select after an arrow click, or -1 when the click does nothing.
// current is the selected index, -1 when nothing is selected; down from -1 selects the first.
int target(int current, int count, Direction direction);

} // namespace ChartNav
