#include "data/TableQuery.h"

// Parsed by hand: a regular expression cost every start of the program more than
// everything else the datasets' declarations do.
std::optional<TableQuery> parseTableQuery(QStringView sql)
{
    qsizetype at = 0;
    const auto skipSpaces = [&] {
        const qsizetype from = at;
        while (at < sql.size() && sql[at].isSpace())
            ++at;
        return at > from;
    };
    const auto word = [&](QStringView expected) {
        if (sql.sliced(at).startsWith(expected, Qt::CaseInsensitive)) {
            at += expected.size();
            return true;
        }
        return false;
    };
    skipSpaces();
    if (!word(u"select") || !skipSpaces() || !word(u"*") || !skipSpaces() || !word(u"from") ||
        !skipSpaces())
        return std::nullopt;
    const qsizetype tableStart = at;
    while (at < sql.size() && (sql[at].isLetterOrNumber() || sql[at] == u'_'))
        ++at;
    if (at == tableStart)
        return std::nullopt;
    const QStringView table = sql.sliced(tableStart, at - tableStart);
    QStringView tail = sql.sliced(at).trimmed();
    if (tail.endsWith(u';'))
        tail = tail.chopped(1).trimmed();
    return TableQuery{table.toString(), tail.toString()};
}
