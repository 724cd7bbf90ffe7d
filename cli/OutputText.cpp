#include "cli/OutputText.h"

#include <cerrno>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

QString withVisibleControlCharacters(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            out += u"\\n"_s;
        else if (u == u'\r')
            out += u"\\r"_s;
        else if (u == u'\t')
            out += u"\\t"_s;
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            out += u"\\x"_s + QString::number(u, 16).toUpper().rightJustified(2, u'0');
        else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            out += u"\\u"_s + QString::number(u, 16).toUpper().rightJustified(4, u'0');
        else
            out += c;
    }
    return out;
}

void printLine(FILE* stream, const QString& text)
{
    const QByteArray line = withVisibleControlCharacters(text).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
}

int finishOutput(FILE* out, FILE* err, int status)
{
    errno = 0;
    const bool flushed = std::fflush(out) == 0 && !std::ferror(out);
    const int flushError = errno;
    errno = 0;
    const bool closed = std::fclose(out) == 0;
    const int closeError = errno;
    if (flushed && closed)
        return status;
    const int reason = flushError != 0 ? flushError : closeError;
    std::fprintf(err, "Could not write the output: %s\n",
                 reason != 0 ? std::strerror(reason) : "write error");
    std::fflush(err);
    return 2;
}
