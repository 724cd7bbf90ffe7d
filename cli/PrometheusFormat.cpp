#include "cli/PrometheusFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

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

namespace {

// Writes the value's text into buffer, which holds 32 characters; returns its length.
qsizetype writeValue(double value, char* buffer)
{
    const char* special = std::isnan(value)   ? "NaN"
                          : std::isinf(value) ? (value > 0 ? "+Inf" : "-Inf")
                                              : nullptr;
    if (special) {
        const qsizetype length = qstrlen(special);
        std::memcpy(buffer, special, static_cast<size_t>(length));
        return length;
    }
    return std::to_chars(buffer, buffer + 32, value).ptr - buffer;
}

} // namespace

QByteArray sampleValue(double value)
{
    char buffer[32];
    return QByteArray(buffer, writeValue(value, buffer));
}

GaugeFamily::GaugeFamily(QByteArray& out, const char* name, const char* help)
    : m_out(out)
    , m_name(name)
{
    m_out += "# HELP " + m_name + ' ' + help + '\n';
    m_out += "# TYPE " + m_name + " gauge\n";
}

void GaugeFamily::sample(const QByteArray& labels, const char* more, double value)
{
    char buffer[32];
    const qsizetype length = writeValue(value, buffer);
    m_out.append(m_name).append('{').append(labels).append(more).append("} ", 2);
    m_out.append(buffer, length);
    m_out.append('\n');
}

} // namespace PrometheusFormat
