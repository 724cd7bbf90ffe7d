#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

// A temporary C stream for code that writes to FILE*, read back as text.
class CapturedStream {
public:
    CapturedStream()
        : m_file(std::tmpfile())
    {
    }
    ~CapturedStream() { std::fclose(m_file); }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;

    FILE* file() const { return m_file; }
    QString text() const
    {
        std::fflush(m_file);
        std::rewind(m_file);
        QByteArray bytes;
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            bytes.append(buffer, static_cast<qsizetype>(n));
        return QString::fromLocal8Bit(bytes);
    }

private:
    FILE* m_file;
};

// A command-line command's exit status and what it wrote to its two streams.
struct CommandOutcome {
    int status = -1;
    QString out;
    QString err;
};

template <typename Command>
CommandOutcome runCapturing(Command command, const QStringList& arguments)
{
    CapturedStream out;
    CapturedStream err;
    CommandOutcome r;
    r.status = command(arguments, out.file(), err.file());
    r.out = out.text();
    r.err = err.text();
    return r;
}
