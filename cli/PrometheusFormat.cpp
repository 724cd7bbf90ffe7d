#include "cli/PrometheusFormat.h"

#include <charconv>
#include <cmath>

namespace PrometheusFormat {

QByteArray labelValue(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

QByteArray sampleValue(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, r.ptr - buffer);
}

GaugeFamily::GaugeFamily(QByteArray& out, const char* name, const char* help)
    : m_out(out)
    , m_name(name)
{
    m_out += "# HELP " + m_name + ' ' + help + '\n';
    m_out += "# TYPE " + m_name + " gauge\n";
}

void GaugeFamily::sample(const QByteArray& labels, double value)
{
    m_out += m_name + '{' + labels + "} " + sampleValue(value) + '\n';
}

} // namespace PrometheusFormat
