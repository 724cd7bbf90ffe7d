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

namespace {

// The first error a write to the output met: a stream keeps only the fact, not the reason.
int firstOutputError = 0;

void noteOutputError()
{
    if (firstOutputError == 0)
        firstOutputError = errno != 0 ? errno : EIO;
}

} // namespace

void writeOutput(FILE* stream, const QByteArray& bytes)
{
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream) !=
        static_cast<size_t>(bytes.size()))
        noteOutputError();
}

void flushOutput(FILE* stream)
{
    errno = 0;
    if (std::fflush(stream) != 0)
        noteOutputError();
}

void printLine(FILE* stream, const QString& text)
{
    writeOutput(stream, withVisibleControlCharacters(text).toLocal8Bit() + '\n');
}

int finishOutput(FILE* out, FILE* err, int status, int statusWhenLost)
{
    flushOutput(out);
    const bool failed = std::ferror(out) != 0;
    errno = 0;
    if (std::fclose(out) != 0)
        noteOutputError();
    if (!failed && firstOutputError == 0)
        return status;
    std::fprintf(err, "Could not write the output: %s\n",
                 std::strerror(firstOutputError != 0 ? firstOutputError : EIO));
    std::fflush(err);
    return statusWhenLost;
}
