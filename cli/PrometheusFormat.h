#pragma once

#include <QByteArray>
#include <QString>

// The pieces of Prometheus's text exposition format, written exactly as its parsers read
// them whatever the user's locale and whatever a name holds.
namespace PrometheusFormat {

// A label value between its double quotes: backslash, double quote and line feed escaped,
// everything else as UTF-8. A name holding any of them can neither end the value early nor
// start a line of its own.
QByteArray labelValue(const QString& text);

// A sample value: the shortest text that reads back as the same double, with a point as the
// decimal separator; NaN, +Inf and -Inf as the format spells them.
QByteArray sampleValue(double value);

// One gauge family: its HELP and TYPE lines once, then its samples, all together, as the
// format requires. labels is the inside of the braces, already escaped.
class GaugeFamily {
public:
    GaugeFamily(QByteArray& out, const char* name, const char* help);
    void sample(const QByteArray& labels, double value) { sample(labels, "", value); }
    // With more labels after those, already escaped and starting with a comma.
    void sample(const QByteArray& labels, const char* more, double value);

private:
    QByteArray& m_out;
    QByteArray m_name;
};

} // namespace PrometheusFormat
