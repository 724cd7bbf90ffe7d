#pragma once

// While one lives, what a C library writes to the standard error stream of this process goes
// nowhere: some libraries print their own diagnostics there besides returning an error, and
// a command's error stream must carry only the program's own messages. Keep it around the
// library calls alone; anything else written meanwhile is lost too.
class QuietStandardError {
public:
    QuietStandardError();
    ~QuietStandardError();
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved = -1;
};
