#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTest>

// A workbook as openpyxl reads it back (read_workbook.py), for comparing with what was
// meant to be written. Rows and columns count from 0; row 0 is the header row.
class ReadWorkbook {
public:
    // Fails the current test (and leaves the workbook empty) when the reader fails.
    explicit ReadWorkbook(const QString& fileName)
    {
        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(READ_WORKBOOK_SCRIPT), fileName});
        if (!reader.waitForFinished(60'000) || reader.exitStatus() != QProcess::NormalExit ||
            reader.exitCode() != 0) {
            m_error = QString::fromLocal8Bit(reader.readAllStandardError());
            return;
        }
        m_book = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    }
    bool ok() const { return m_error.isEmpty() && !m_book.isEmpty(); }
    const QString& error() const { return m_error; }

    QJsonArray sheets() const { return m_book[QStringLiteral("sheets")].toArray(); }
    QJsonObject sheet() const { return sheets().at(0).toObject(); }
    QString sheetName() const { return sheet()[QStringLiteral("name")].toString(); }
    QJsonArray rows() const { return sheet()[QStringLiteral("rows")].toArray(); }
    int rowCount() const { return static_cast<int>(rows().size()); }
    QJsonArray row(int r) const { return rows().at(r).toArray(); }
    QJsonObject cell(int r, int c) const { return row(r).at(c).toObject(); }
    QString type(int r, int c) const { return cell(r, c)[QStringLiteral("type")].toString(); }
    QJsonValue value(int r, int c) const { return cell(r, c)[QStringLiteral("value")]; }
    bool bold(int r, int c) const { return cell(r, c)[QStringLiteral("bold")].toBool(); }
    // Custom widths only, by column letter, in the file's unit (a width of 15 is 15.71...).
    QJsonObject widths() const { return sheet()[QStringLiteral("widths")].toObject(); }

    QStringList headers() const
    {
        QStringList texts;
        for (const QJsonValue& c : row(0))
            texts << c.toObject()[QStringLiteral("value")].toString();
        return texts;
    }

private:
    QJsonObject m_book;
    QString m_error;
};
