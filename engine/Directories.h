#pragma once

#include "platform/DiskSpaceProbe.h"

#include <QHash>
#include <QStringList>
#include <QVariant>

#include <chrono>

#include <optional>

class Clock;
class DiskSpaceProbe;
class EngineHost;
class RunTransaction;
class SmtpTransport;
class TDMVardometer;

// The space analysis engine: caches the options it needs, measures one system at a time,
// collects the alert lines of a run and writes the figures back through the data module.
// Everything runs on the caller's thread; a run can be re-entered from a modal window's
// event loop and then shares these fields with the run it interrupted.
class dvDirectories {
public:
    // Reads the Options row; throws (and creates nothing) when an option cannot be read.
    // E-mail alerts go out through mail.
    dvDirectories(TDMVardometer& dataModule, EngineHost& host, DiskSpaceProbe& probe,
                  const Clock& clock, SmtpTransport& mail);

    void ReadOptions();
    void SetPopupAlerts(bool on) { PopupAlerts = on; }
    void SetEMailAlerts(bool on) { EMailAlerts = on; }

    // Returns how many alert lines this run raised (AlertCount may meanwhile hold those of a
    // run a timer started inside one of its windows).
    int CheckSpace();
    void LoadSnapshot();
    void AnalyseSystem();
    bool MeasureFreeSpace(const QString& address);
    void RefreshSystemTree();
    // Rewrites the database file compactly while the datasets and the connection are closed
    // and the scheduled runs are held; a failure is shown as "Error packing database: ...".
    void CompactDatabase();
    // How long compaction waits for another program's write; the connection's by default.
    int CompactionBusyTimeoutMs = 30'000;
    // How long a run waits for each address to answer before it counts as not found.
    std::chrono::milliseconds ProbeTimeout = DefaultProbeTimeout;

    // Deliveries of the current alert lines; each decides by its own switch.
    void SendEMailAlerts();
    void ShowPopupAlerts();

    // Line i of the current run, 1 to AlertCount; empty past the end.
    QString alertLine(int i) const;
    QStringList currentAlertLines() const;

    // Per-system figures. Megabyte figures are 64-bit so volumes of 2 PiB and more fit.
    bool AddressFound = true;
    qint64 TotalBytes = 0;
    qint64 FreeBytes = 0;
    qint64 UsedBytes = 0;
    double FreePercent = 0;
    double UsedPercent = 0;
    qint64 TotalMB = 0;
    qint64 FreeMB = 0;
    qint64 UsedMB = 0;
    qint64 CumulativeUsedMB = 0;
    qint64 PreviousFreeMB = 0;
    qint64 AverageDailyMB = 0;
    double StartDate = 0;
    double ZeroDate = 0;
    double RunDate = 0;
    double RunTime = 0;
    int PopupState = 0;

    // Cached options.
    bool EMailAlerts = false;
    bool PopupAlerts = false;
    int DefaultAlertMB = 0;
    QString EMailHost;
    QString EMailFrom;
    QString EMailSubject;
    bool EMailAuth = false;
    QString EMailUsername;
    QString EMailPassword;

    // The alert list: entry 0 is never used; a run's lines are entries 1 to AlertCount.
    // It starts each run with 10,000 empty entries, made with the run's first line, and
    // grows when a run raises more.
    int AlertCount = 0;
    QStringList AlertLines;
    QString SystemName = QStringLiteral(" ");
    QString AlertText = QStringLiteral(" ");
    QString OwnerName = QStringLiteral(" ");
    int SystemCount = 0;

    // Set when a run ends by an error at one system: that row's System value (Null when the
    // name itself is empty). Reset at the start of every run.
    std::optional<QVariant> StoppedAtSystem;
    // Why each system the last run could not measure was not found, in the run's order.
    struct Unreachable {
        QString system;
        QString reason;
    };
    QList<Unreachable> UnreachableSystems;
    QString LastProbeFailure; // of the last MeasureFreeSpace

private:
    void resetAlertList();
    void addAlertLine(const QString& line);
    void takeRunDateAndTime();
    void storeTypedSystemsRow();
    void commitRun(RunTransaction& transaction);
    // Every address of the Systems table measured at once, before the run's transaction;
    // MeasureFreeSpace then takes the outcomes from there.
    void measureAllAddresses();
    ProbeOutcome measuredOutcome(const QString& address);
    void reopenSystems();
    // The latest figures of the current system into its row; the consumption figures only
    // when asked, since the snapshot leaves them to the Check Space run.
    void writeLatestFigures(bool withConsumption);
    void appendHistoryRow();
    // One system's part of a run under its own savepoint; records where the run stopped.
    template <typename Work> void forOneSystem(Work&& work);

    TDMVardometer& m_dm;
    EngineHost& m_host;
    DiskSpaceProbe& m_probe;
    const Clock& m_clock;
    SmtpTransport& m_mail;
    QHash<QString, ProbeOutcome> m_measured; // the current run's sweep
};
