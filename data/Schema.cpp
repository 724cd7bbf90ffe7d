#include "data/Schema.h"

using namespace Qt::Literals::StringLiterals;

namespace Schema {
namespace {

FieldDef text(const QString& name, int size, int width = 0)
{
    FieldDef f = FieldDef::of(name, FieldKind::Text, size);
    f.displayWidth = width;
    return f;
}

FieldDef column(const QString& name, FieldKind kind, const QString& label = {}, int width = 0,
                const QString& format = {})
{
    FieldDef f = FieldDef::of(name, kind, kind == FieldKind::Integer ? 32 : 0);
    f.displayLabel = label;
    f.displayWidth = width;
    f.displayFormat = format;
    return f;
}

FieldDef systemName()
{
    FieldDef f = text(u"System"_s, 15, 16);
    f.singleLine = true;
    f.uniqueWhat = u"system name"_s;
    return f;
}

FieldDef hidden(FieldDef f)
{
    f.visible = false;
    return f;
}

FieldDef withDefault(FieldDef f, QVariant value)
{
    f.defaultValue = std::move(value);
    return f;
}

FieldDef formatted(FieldDef f, const QString& label, const QString& format)
{
    f.displayLabel = label;
    f.displayFormat = format;
    return f;
}

QString sqlType(const FieldDef& f)
{
    switch (f.kind) {
    case FieldKind::Text:
        return u"TEXT COLLATE NOCASE"_s;
    case FieldKind::Integer:
    case FieldKind::Boolean:
        return u"INTEGER"_s;
    case FieldKind::Double:
    case FieldKind::Currency:
    case FieldKind::DateTime:
        return u"REAL"_s;
    }
    return u"BLOB"_s;
}

} // namespace

TableDef systems()
{
    const auto D = FieldKind::Double;
    const auto T = FieldKind::DateTime;
    return {u"Systems"_s,
            {
                systemName(),
                column(u"DateLastAnalysed"_s, T, u"Last Analysed"_s, 12),
                withDefault(column(u"LastFree%"_s, D, u"Free %"_s, 10, u"#.00"_s), 0.0),
                withDefault(column(u"LastUsed%"_s, D, u"Used %"_s, 10, u"#.00"_s), 0.0),
                withDefault(column(u"LastFreeMB"_s, D, u"Free MB"_s, 10, u"#,##0"_s), 0.0),
                withDefault(column(u"LastUsedMB"_s, D, u"Used MB"_s, 10, u"#,##0"_s), 0.0),
                withDefault(column(u"LastTotalMB"_s, D, u"Total MB"_s, 10, u"#,##0"_s), 0.0),
                text(u"Owner"_s, 30, 16),
                hidden(text(u"UserName"_s, 20, 12)),
                hidden(text(u"Address"_s, 128, 12)),
                hidden(text(u"SystemType"_s, 20, 11)),
                hidden(withDefault(column(u"Alert1MB"_s, D, u"AlertMB"_s, 10, u"#,##0"_s), 500.0)),
                hidden(text(u"Password"_s, 20, 10)),
                hidden(column(u"AlertOwner"_s, FieldKind::Boolean, {}, 9)),
                hidden(text(u"AssetNo"_s, 10, 12)),
                hidden(column(u"PurchaseDate"_s, T, {}, 12)),
                hidden(text(u"Supplier"_s, 20, 13)),
                hidden(column(u"Cost"_s, FieldKind::Currency, {}, 10, u"#,##0"_s)),
                hidden(column(u"Alert2MB"_s, D, {}, 10, u"#,##0"_s)),
                column(u"AvgDailyMB"_s, D),
                column(u"ZeroDate1"_s, T),
                column(u"ZeroDate2"_s, T),
                column(u"CumUsedMB"_s, D),
                column(u"InitialDate"_s, T),
                column(u"TimeLastAnalysed"_s, T, {}, 0, u"hh:mm:ss"_s),
                column(u"PageID"_s, FieldKind::Integer),
            }};
}

TableDef freeSpaceHistory()
{
    const auto D = FieldKind::Double;
    return {u"FreeSpaceHistory"_s,
            {text(u"System"_s, 20), column(u"Date"_s, FieldKind::DateTime),
             column(u"Time"_s, FieldKind::DateTime), column(u"FreeMB"_s, D), column(u"UsedMB"_s, D),
             column(u"TotalMB"_s, D), column(u"Free%"_s, D), column(u"Used%"_s, D),
             column(u"AvgDailyMB"_s, D), column(u"CumUsedMB"_s, D)}};
}

TableDef alerts()
{
    return {u"Alerts"_s, {text(u"EMailAddress"_s, 80, 80)}};
}

TableDef options()
{
    const auto B = FieldKind::Boolean;
    const auto I = FieldKind::Integer;
    FieldDef key = column(u"Key"_s, I);
    key.size = 16;
    return {u"Options"_s,
            {key,
             text(u"CompanyName"_s, 50),
             text(u"DefaultAlertList"_s, 30),
             column(u"DefaultAlertMB"_s, I),
             text(u"EMailFrom"_s, 255),
             text(u"EMailSubject"_s, 255),
             column(u"TimerToLoadEnabled"_s, B),
             column(u"TimeToLoadFreeSpace"_s, FieldKind::DateTime),
             column(u"TimerForCheckEnabled"_s, B),
             column(u"TimeIntervalForCheck"_s, I),
             column(u"TimerToLoadFilesEnabled"_s, B),
             column(u"TimeToLoadFiles"_s, FieldKind::DateTime),
             text(u"EMailToUsersHeader"_s, 255),
             text(u"EMailToUsersFooter"_s, 255),
             column(u"EMailToUsersMBLimit"_s, I),
             column(u"DefaultAlertPC"_s, I),
             column(u"PopupAlerts"_s, B),
             column(u"NovellPurgeAsFree"_s, B),
             column(u"EMailAlerts"_s, B),
             text(u"EMailHost"_s, 255),
             text(u"EMailUsername"_s, 255),
             text(u"EMailPassword"_s, 255),
             column(u"EMailAuth"_s, B),
             column(u"ServiceInUse"_s, B)}};
}

TableDef systemPages()
{
    return {u"SystemPages"_s, {text(u"System"_s, 30), text(u"Page"_s, 20)}};
}

TableDef pages()
{
    // Nothing reads this table; the file keeps a minimal shape for it.
    return {u"Pages"_s, {text(u"Page"_s, 20), text(u"Caption"_s, 50)}};
}

TableDef log()
{
    FieldDef time = column(u"Time"_s, FieldKind::DateTime, {}, 0, u"t"_s);
    return {u"Log"_s,
            {text(u"System"_s, 20), column(u"Date"_s, FieldKind::DateTime), time,
             text(u"Message"_s, 50), text(u"Owner"_s, 30), text(u"AlertList"_s, 30)}};
}

TableDef credentials()
{
    FieldDef server = text(u"Server"_s, 255, 24);
    server.singleLine = true;
    FieldDef password = text(u"Password"_s, 255, 16);
    password.displayLabel = u"Password"_s;
    return {u"Credentials"_s,
            {server, text(u"Domain"_s, 64, 12), text(u"Username"_s, 128, 16), password}};
}

QList<TableDef> requiredTables()
{
    return {systems(), freeSpaceHistory(), alerts(), options(), systemPages(), pages()};
}

FieldDefs systemsTableFields()
{
    FieldDefs fields = systems().columns;
    fields.removeLast(); // PageID belongs to the ordered query only
    return fields;
}

FieldDefs historyTableFields()
{
    FieldDefs fields = freeSpaceHistory().columns;
    for (FieldDef& f : fields) {
        if (f.name == u"Time")
            f.displayFormat = u"HH:MM:SS"_s;
        else if (f.name == u"Free%")
            f = formatted(f, u"Free %"_s, u"#.00"_s);
        else if (f.name == u"Used%")
            f = formatted(f, u"Used %"_s, u"#.00"_s);
        else if (f.name == u"AvgDailyMB")
            f.displayFormat = u"#,##0"_s;
    }
    return fields;
}

FieldDefs historyQueryFields()
{
    FieldDefs fields = historyTableFields();
    for (FieldDef& f : fields) {
        if (f.name == u"FreeMB" || f.name == u"UsedMB" || f.name == u"TotalMB" ||
            f.name == u"CumUsedMB")
            f.displayFormat = u"#,##0"_s;
    }
    return fields;
}

QString quoted(const QString& identifier)
{
    QString escaped = identifier;
    escaped.replace(u'"', u"\"\""_s);
    return u'"' + escaped + u'"';
}

QString createTableSql(const TableDef& table)
{
    QStringList columns;
    for (const FieldDef& f : table.columns)
        columns << quoted(f.name) + u' ' + sqlType(f);
    return u"CREATE TABLE %1 (%2)"_s.arg(quoted(table.name), columns.join(u", "_s));
}

QStringList createIndexSql()
{
    return {
        u"CREATE INDEX FreeSpaceHistoryBySystem ON FreeSpaceHistory (System, Date, Time)"_s,
        // Everything finds a system by its name alone, so two rows with one name would mix
        // two disks' histories.
        u"CREATE UNIQUE INDEX SystemsBySystem ON Systems (System COLLATE NOCASE)"_s,
    };
}

} // namespace Schema
