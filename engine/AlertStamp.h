#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The prefix every delivered alert line carries: the local date in the user's short date
// format and the time in the long time format, or the date alone at exactly midnight.
QString alertStamp(const QDateTime& when, const QLocale& locale = QLocale());

// "<stamp> : <line>"
QString stampedAlertLine(const QDateTime& when, const QString& line,
                         const QLocale& locale = QLocale());
