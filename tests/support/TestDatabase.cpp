#include "TestDatabase.h"

#include "data/DbConnection.h"

#include <QSqlQuery>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

TestDatabase::TestDatabase(const QList<DatabaseCreator::NewSystem>& systems)
    : m_path(m_dir.filePath(u"Vardometer.db"_s))
{
    DatabaseCreator::create(m_path, systems);
}

void TestDatabase::exec(const QString& sql, const QVariantList& values) const
{
    DbConnection db(u"TestDatabase"_s);
    db.setFileName(m_path);
    db.open();
    db.exec(sql, values).finish();
    db.close();
}

QVariant TestDatabase::scalar(const QString& sql, const QVariantList& values) const
{
    DbConnection db(u"TestDatabase"_s);
    db.setFileName(m_path);
    db.open();
    QSqlQuery q = db.exec(sql, values);
    const QVariant v = q.next() ? q.value(0) : QVariant();
    q.finish();
    db.close();
    return v;
}

QVariantList TestDatabase::column(const QString& sql, const QVariantList& values) const
{
    DbConnection db(u"TestDatabase"_s);
    db.setFileName(m_path);
    db.open();
    QSqlQuery q = db.exec(sql, values);
    QVariantList result;
    while (q.next())
        result << q.value(0);
    q.finish();
    db.close();
    return result;
}
