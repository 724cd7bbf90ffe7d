#pragma once

#include <QtGlobal>

// The verbs that only report (forecast, metrics, plugin) read their database through a
// memory map of up to this size: they start, read thousands of pages once and end, and the
// copies of those pages cost them more than the reading itself. A disk failing under the map
// ends such a verb, which then reports nothing; it writes nothing that could be lost.
inline constexpr qint64 ReportMemoryMapBytes = qint64(1) << 30;
