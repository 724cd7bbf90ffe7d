#include "cli/MetricsText.h"

#include "cli/PrometheusFormat.h"

#include "data/DateTimeValue.h"
#include "engine/ForecastBook.h"
#include "engine/SystemStates.h"

#include <QSet>

#include <cmath>
#include <optional>

using PrometheusFormat::GaugeFamily;

namespace {

constexpr double BytesPerMB = 1024.0 * 1024.0;

using LatestFiguresReader::number;

// Seconds since 1970 of a stored local date and time of day.
std::optional<double> unixTime(const std::optional<double>& date, double timeOfDay = 0)
{
    if (!date || !DateTimeValue::isShownDay(*date))
        return std::nullopt;
    const QDateTime local = DateTimeValue::toDateTime(std::floor(*date) + timeOfDay);
    if (!local.isValid())
        return std::nullopt;
    return static_cast<double>(local.toMSecsSinceEpoch()) / 1000.0;
}

std::optional<double> unixTime(const QDate& date)
{
    if (!date.isValid())
        return std::nullopt;
    return static_cast<double>(date.startOfDay().toMSecsSinceEpoch()) / 1000.0;
}

struct Series {
    QByteArray labels;
    bool measured = false; // a run has looked at the system
    bool up = false;
    std::optional<double> freeMB, usedMB, totalMB;
    std::optional<double> lastMeasured, classicFull, alertMB;
    std::optional<SystemState> state; // none when the stored values cannot be compared
    std::optional<DiskForecast> forecast;
};

Series seriesOf(const LatestFigures& f, const ForecastBook& forecasts)
{
    Series s;
    s.labels = "system=\"" + PrometheusFormat::labelValue(f.system) + "\",address=\"" +
               PrometheusFormat::labelValue(f.address) + '"';
    s.state = SystemStates::ofStored(f.initialDate, f.lastFreePercent, f.lastUsedPercent,
                                     f.lastFreeMB, f.alert1MB);
    s.measured = !f.initialDate.isNull() && s.state.has_value();
    s.up = s.measured && s.state != SystemState::NotFound;
    if (s.up) {
        const std::optional<double> total = number(f.lastTotalMB);
        const std::optional<double> free = number(f.lastFreeMB);
        const std::optional<double> used = number(f.lastUsedMB);
        if (total && *total > 0) {
            s.totalMB = total;
            if (free && *free >= 0 && *free <= *total)
                s.freeMB = free;
            if (used && *used >= 0 && *used <= *total)
                s.usedMB = used;
        }
    }
    const std::optional<double> time = number(f.timeLastAnalysed);
    s.lastMeasured = unixTime(number(f.dateLastAnalysed), time ? *time - std::floor(*time) : 0.0);
    const std::optional<double> zero = number(f.zeroDate1);
    if (zero && *zero > 0)
        s.classicFull = unixTime(zero);
    const std::optional<double> alert = number(f.alert1MB);
    if (alert && *alert > 0)
        s.alertMB = alert;
    s.forecast = forecasts.find(f.system);
    return s;
}

using Pick = std::optional<double> (*)(const Series&);

void gauge(QByteArray& out, const QList<Series>& all, const char* name, const char* help, Pick pick)
{
    GaugeFamily family(out, name, help);
    for (const Series& s : all)
        if (const std::optional<double> v = pick(s))
            family.sample(s.labels, *v);
}

// In bytes; nothing for a figure no disk has (one that overflows as bytes).
std::optional<double> bytes(const std::optional<double>& mb)
{
    if (!mb || !std::isfinite(*mb * BytesPerMB))
        return std::nullopt;
    return *mb * BytesPerMB;
}

std::optional<double> flag(bool value)
{
    return value ? 1.0 : 0.0;
}

} // namespace

QByteArray metricsText(const QList<LatestFigures>& systems, const ForecastBook& forecasts)
{
    QList<Series> all;
    all.reserve(systems.size());
    QSet<QString> seen; // a name stored twice would repeat a series
    for (const LatestFigures& f : systems) {
        if (!seen.contains(f.system)) {
            seen.insert(f.system);
            all.append(seriesOf(f, forecasts));
        }
    }

    QByteArray out;
    out.reserve(all.size() * 1400 + 4096);
    gauge(out, all, "vardometer_system_info", "A system Vardometer measures; always 1.",
          [](const Series&) -> std::optional<double> { return 1.0; });
    gauge(out, all, "vardometer_up",
          "Whether the last measurement found the system's address (1) or not (0).",
          [](const Series& s) { return s.measured ? flag(s.up) : std::nullopt; });
    gauge(out, all, "vardometer_free_bytes", "Free space the last measurement found, in bytes.",
          [](const Series& s) { return bytes(s.freeMB); });
    gauge(out, all, "vardometer_used_bytes", "Used space the last measurement found, in bytes.",
          [](const Series& s) { return bytes(s.usedMB); });
    gauge(out, all, "vardometer_size_bytes", "Size of the disk at the last measurement, in bytes.",
          [](const Series& s) { return bytes(s.totalMB); });
    gauge(out, all, "vardometer_free_ratio",
          "Free space as a share of the disk's size at the last measurement, 0 to 1.",
          [](const Series& s) -> std::optional<double> {
              if (!s.freeMB || !s.totalMB)
                  return std::nullopt;
              return *s.freeMB / *s.totalMB;
          });
    gauge(out, all, "vardometer_last_measured_timestamp_seconds",
          "When the system's address last gave figures, in seconds since 1970.",
          [](const Series& s) { return s.lastMeasured; });
    gauge(out, all, "vardometer_alert_threshold_bytes",
          "Free space at or below which the system raises an alert, in bytes.",
          [](const Series& s) { return bytes(s.alertMB); });
    gauge(out, all, "vardometer_predicted_full_timestamp_seconds",
          "The day the disk is full at its average daily use since monitoring began, in "
          "seconds since 1970.",
          [](const Series& s) { return s.classicFull; });
    gauge(out, all, "vardometer_forecast_full_timestamp_seconds",
          "The day the forecast expects the disk to be full, in seconds since 1970.",
          [](const Series& s) {
              return s.forecast ? unixTime(s.forecast->fullDate()) : std::nullopt;
          });
    gauge(out, all, "vardometer_forecast_full_earliest_timestamp_seconds",
          "The start of the forecast's range for the day the disk is full, in seconds since "
          "1970.",
          [](const Series& s) {
              return s.forecast ? unixTime(s.forecast->lowDate()) : std::nullopt;
          });
    gauge(out, all, "vardometer_forecast_full_latest_timestamp_seconds",
          "The end of the forecast's range for the day the disk is full, in seconds since 1970.",
          [](const Series& s) {
              return s.forecast ? unixTime(s.forecast->highDate()) : std::nullopt;
          });

    // States as sets: one sample per state, 1 for the one the system is in.
    {
        GaugeFamily family(out, "vardometer_forecast_state",
                           "The forecast's state: filling, not_filling or not_enough_history.");
        const std::pair<ForecastState, const char*> states[] = {
            {ForecastState::Filling, ",state=\"filling\""},
            {ForecastState::NotFilling, ",state=\"not_filling\""},
            {ForecastState::NotEnoughHistory, ",state=\"not_enough_history\""}};
        for (const Series& s : all) {
            if (!s.forecast)
                continue;
            for (const auto& [state, name] : states)
                family.sample(s.labels, name, s.forecast->state == state ? 1 : 0);
        }
    }
    {
        GaugeFamily family(out, "vardometer_alert_state",
                           "The system's alert state: ok, threshold_reached or not_found.");
        const std::pair<SystemState, const char*> states[] = {
            {SystemState::Ok, ",state=\"ok\""},
            {SystemState::AtThreshold, ",state=\"threshold_reached\""},
            {SystemState::NotFound, ",state=\"not_found\""}};
        for (const Series& s : all)
            if (s.state)
                for (const auto& [state, name] : states)
                    family.sample(s.labels, name, *s.state == state ? 1 : 0);
    }
    return out;
}
