#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// vardometer-cli run as a scheduled job runs it: its own process, in a working directory,
// its exit status and both streams kept. A status of -1 means it did not end normally.
struct CliResult {
    int status = -1;
    QString out;
    QString err;
};

// outputFile, when given, stands behind standard output (a redirection such as > /dev/full).
inline CliResult runCli(const QStringList& arguments, const QString& workingDirectory,
                        const QString& outputFile = {})
{
    QProcess cli;
    cli.setWorkingDirectory(workingDirectory);
    if (!outputFile.isEmpty())
        cli.setStandardOutputFile(outputFile);
    cli.start(QStringLiteral(VARDOMETER_CLI), arguments);
    CliResult r;
    if (!cli.waitForFinished(60'000) || cli.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = cli.exitCode();
    r.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return r;
}
