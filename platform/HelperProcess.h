#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// One run of a helper program of ours: input on its standard input, its standard output
// read until it ends. At the deadline it is killed; either way it has been waited for
// before this returns, so no helper outlives the call. Arguments and environment carry
// nothing of the input, which may hold a password.
struct HelperRun {
    bool timedOut = false;
    QString error; // the helper could not be started or ended abnormally
    QByteArray output;
};

HelperRun runHelper(const QString& program, const QByteArray& input,
                    std::chrono::steady_clock::time_point deadline);
