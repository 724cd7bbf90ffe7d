#include "ui/DatabaseWatch.h"

#include "data/DbConnection.h"

#include <exception>

DatabaseWatch::DatabaseWatch(DbConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("DatabaseWatch"));
    m_timer->setObjectName(QStringLiteral("DatabaseWatchTimer"));
    m_timer->setInterval(DefaultIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &DatabaseWatch::poll);
    // A new opening of the connection (after compaction) counts from a value of its own.
    connect(&m_connection, &DbConnection::connectedChanged, this,
            [this](bool connected) { m_known = connected ? readVersion() : std::nullopt; });
}

void DatabaseWatch::start()
{
    m_known = readVersion();
    m_timer->start();
}

std::optional<qint64> DatabaseWatch::readVersion() const
{
    try {
        return m_connection.dataVersion();
    } catch (const std::exception&) {
        // Nobody is waiting for this reading: the next tick asks again.
        return std::nullopt;
    }
}

void DatabaseWatch::poll()
{
    if (!m_pending) {
        const std::optional<qint64> version = readVersion();
        if (!version)
            return;
        const bool first = !m_known;
        const bool moved = m_known && *m_known != *version;
        m_known = version;
        if (first || !moved)
            return;
        m_pending = true;
    }
    if (mayRefresh && !mayRefresh())
        return;
    // Read once more before the window rereads the file, so commits made while the change
    // waited are taken in by this refresh rather than starting another one.
    if (const std::optional<qint64> version = readVersion())
        m_known = version;
    m_pending = false;
    Q_EMIT changed();
}
