#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class DbConnection;

// Notices what other programs commit to the window's database file: a systemd timer or cron
// running the command-line tool, the tool run by hand, a second window. It asks the
// connection's data version every interval, which costs next to nothing and changes only
// for other connections' commits, so the window's own runs never show up here.
//
// A change is passed on once, as changed(), when the window says it may take it; until then
// it waits, and any number of further commits still make one change. A reading that fails
// (the connection closed for compaction, another program holding the file exclusively) is
// just tried again at the next tick.
class DatabaseWatch : public QObject {
    Q_OBJECT
public:
    explicit DatabaseWatch(DbConnection& connection, QObject* parent = nullptr);

    static constexpr int DefaultIntervalMs = 1500;
    void setInterval(int ms) { m_timer->setInterval(ms); }
    int interval() const { return m_timer->interval(); }
    // Counts from the file as it is now: what the window reads after this is not news.
    void start();
    void stop() { m_timer->stop(); }
    bool isActive() const { return m_timer->isActive(); }

    // Whether a change may be passed on now; always, when unset.
    std::function<bool()> mayRefresh;
    // A change was seen and is waiting for mayRefresh.
    bool changePending() const { return m_pending; }

Q_SIGNALS:
    void changed();

private:
    void poll();
    std::optional<qint64> readVersion() const;

    DbConnection& m_connection;
    QTimer* m_timer; // its ticks, one reading each
    // The version last read on the current opening of the connection; none while it is
    // closed, or before a reading succeeded, since each opening counts from its own value.
    std::optional<qint64> m_known;
    bool m_pending = false;
};
