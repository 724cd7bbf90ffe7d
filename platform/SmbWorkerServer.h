#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <mutex>

// The SMB worker program running as a forking server. libsmbclient cannot serve several
// threads at once, so every SMB measurement runs in a process of its own; starting the
// program afresh for each would cost more processor time than the measurement itself
// (the dynamic loader resolving the library's hundred-odd dependencies), so one copy that
// has loaded the library but never used it forks a child per measurement.
//
// Each child reads its request (which may hold a password) from a socket of its own and
// answers on it; it is killed by its PID at the deadline. The server ends when this object
// goes, or with the program.
class SmbWorkerServer {
public:
    explicit SmbWorkerServer(QString program);
    ~SmbWorkerServer();
    SmbWorkerServer(const SmbWorkerServer&) = delete;
    SmbWorkerServer& operator=(const SmbWorkerServer&) = delete;

    struct Answer {
        bool timedOut = false;
        QString error; // the worker could not be started or gave no answer
        QByteArray data;
    };
    // Safe to call from several threads at once.
    Answer exchange(const QByteArray& request, std::chrono::steady_clock::time_point deadline);

private:
    // A socket to a new child of the server, or -1 with the reason in *error.
    int connectChild(QString* error);
    bool startServer(QString* error);
    void stopServer();

    const QString m_program;
    std::mutex m_mutex;
    int m_control = -1;
    int m_pid = -1;
};
