#pragma once

#include "data/DatabaseCreator.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

// A fresh database file in its own temporary directory, with helpers to shape its
// contents directly (bypassing the datasets under test).
class TestDatabase {
public:
    explicit TestDatabase(const QList<DatabaseCreator::NewSystem>& systems = {});

    QString path() const { return m_path; }
    QString dir() const { return m_dir.path(); }

    // Runs SQL on a private connection, closed again before returning.
    void exec(const QString& sql, const QVariantList& values = {}) const;
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const;
    // The first column of every row the statement returns, in its order.
    QVariantList column(const QString& sql, const QVariantList& values = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};
