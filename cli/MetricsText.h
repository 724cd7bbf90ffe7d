#pragma once

#include "data/LatestFigures.h"

#include <QByteArray>
#include <QList>

class ForecastBook;

// Every system's latest figures, its forecast and its alert state as Prometheus gauges, in
// base units (bytes, seconds since 1970, ratios), labelled by system name and address. A
// figure that is not known is left out, never written as 0: no measurement yet, an address
// the last check did not find, no predicted date, a stored value that is no number.
QByteArray metricsText(const QList<LatestFigures>& systems, const ForecastBook& forecasts);
