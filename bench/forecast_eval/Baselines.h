#pragma once

// The two figures an administrator would otherwise go by, beside our forecast: the classic
// prediction every run stores (the average daily consumption since monitoring began) and a
// least-squares line through the last seven days of free space.

#include "engine/Forecast.h"

#include <QList>

#include <optional>

namespace Baselines {

struct Answer {
    std::optional<double> fullDate; // date value; none when the method gives no date
    double lowDate = 0;             // our forecast's range; the baselines have none
    double highDate = 0;
};

Answer forecast(const QList<HistoryPoint>& history);
Answer classic(const QList<HistoryPoint>& history);
Answer leastSquaresWeek(const QList<HistoryPoint>& history);

} // namespace Baselines
