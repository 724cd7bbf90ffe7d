#pragma once

#include "engine/Clock.h"
#include "engine/EngineHost.h"
#include "platform/DiskSpaceProbe.h"
#include "platform/SmtpTransport.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

using namespace Qt::Literals::StringLiterals;

// A clock that says what the test tells it.
class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime now = QDateTime(QDate(2007, 3, 11), QTime(9, 30)))
        : current(std::move(now))
    {
    }
    QDateTime now() const override { return current; }
    QDateTime current;
};

// Moves on by a fixed step every time it is asked, as the calendar does while a run or a
// delivery works through its lines, so every stamp shows when it was taken.
class SteppingClock : public Clock {
public:
    explicit SteppingClock(QDateTime start, qint64 stepMs = 1'000)
        : next(std::move(start))
        , step(stepMs)
    {
    }
    QDateTime now() const override
    {
        const QDateTime answer = next;
        next = next.addMSecs(step);
        return answer;
    }
    mutable QDateTime next;
    qint64 step;
};

// Answers from a table of addresses; any other address is unreachable. For the cases a real
// volume cannot give: unreachable shares, exact byte counts, volumes of petabytes.
class ScriptedProbe : public DiskSpaceProbe {
public:
    void set(const QString& address, qint64 freeBytes, qint64 totalBytes)
    {
        answers.insert(address, DiskSpace{freeBytes, totalBytes});
    }
    // The answer is looked up, and the address noted as asked, on the caller's thread, so
    // the test reads both without a lock; the measurement holds copies of what it needs and
    // nothing of the probe's, so a sweep may abandon it. A hanging address never answers
    // within any time-out, like a share whose server has died.
    Measurement prepare(const QString& address, std::chrono::milliseconds) override
    {
        if (hanging.contains(address))
            return [hangFor = hangFor] {
                std::this_thread::sleep_for(hangFor);
                return ProbeOutcome::failed(u"hung"_s);
            };
        asked << address;
        const auto it = answers.constFind(address);
        const std::optional<DiskSpace> answer =
            it == answers.constEnd() ? std::nullopt : std::optional<DiskSpace>(*it);
        return [address, answer, onAsk = onAsk] {
            if (onAsk)
                onAsk(address);
            return answer ? ProbeOutcome::measured(*answer) : ProbeOutcome::failed(u"not found"_s);
        };
    }
    QHash<QString, DiskSpace> answers;
    QStringList asked;
    QSet<QString> hanging;
    std::function<void(const QString& address)> onAsk; // runs on the measurement's thread
    std::chrono::milliseconds hangFor{30'000};
};

// Writes down every call a run makes on the window, in order.
class RecordingHost : public EngineHost {
public:
    void setBusy(bool b) override
    {
        busy = b;
        calls << (b ? u"busy"_s : u"idle"_s);
    }
    void showSummaryPage() override { calls << u"summaryPage"_s; }
    void startProgress(int maximum) override
    {
        progressMaximum = maximum;
        progressPosition = 0;
        progressVisible = true;
        calls << u"startProgress %1"_s.arg(maximum);
    }
    void stepProgress() override
    {
        progressPosition = std::min(progressPosition + 1, progressMaximum);
    }
    void hideProgress() override
    {
        progressVisible = false;
        calls << u"hideProgress"_s;
    }
    void holdGrids() override
    {
        gridsHeld = true;
        calls << u"holdGrids"_s;
    }
    void releaseGrids() override
    {
        gridsHeld = false;
        calls << u"releaseGrids"_s;
    }
    void repaintHistoryGrid() override { calls << u"repaintHistoryGrid"_s; }
    void setCompanyName(const QString& name) override { companyName = name; }
    void clearSystemList() override { systems.clear(); }
    void addSystem(const QString& name) override { systems << name; }
    void refreshSummaryChart() override { calls << u"refreshSummaryChart"_s; }
    void showSystemHistory(const QString& system) override
    {
        calls << u"showSystemHistory "_s + system;
    }

    void refreshForecasts() override { calls << u"refreshForecasts"_s; }

    void showMessage(const QString& text) override { calls << u"message "_s + text; }
    void showError(const QString& caption, const QString& text) override
    {
        calls << u"error %1: %2"_s.arg(caption, text);
    }
    void holdTimers() override { calls << u"holdTimers"_s; }
    void releaseTimers() override { calls << u"releaseTimers"_s; }
    void measuring(int answered, int total) override
    {
        if (calls.isEmpty() || !calls.last().startsWith(u"measuring"_s))
            calls << u"measuring"_s;
        measuredAnswers = answered;
        measuredTotal = total;
    }
    void measuringDone() override { calls << u"measuringDone"_s; }
    void createPopupWindow() override
    {
        calls << u"createPopupWindow"_s;
        popupLines.clear();
    }
    void appendPopupLine(const QString& line) override { popupLines << line; }
    void showPopupWindow() override
    {
        calls << u"showPopupWindow"_s;
        if (onShowPopup)
            std::exchange(onShowPopup, {})();
    }
    std::function<void()> onShowPopup; // once, as a timer's run inside the window would

    QStringList calls;
    QStringList popupLines;
    bool busy = false;
    bool gridsHeld = false;
    bool progressVisible = false;
    int progressMaximum = 0;
    int progressPosition = 0;
    int measuredAnswers = 0;
    int measuredTotal = 0;
    QString companyName;
    QStringList systems;
};
