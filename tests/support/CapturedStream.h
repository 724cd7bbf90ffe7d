#pragma once

#include <QString>

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
