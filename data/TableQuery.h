#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The one form of query a dataset reads: "select * from TABLE TAIL", in any capitals, with
// an optional closing semicolon. The tail (WHERE and ORDER BY) is kept as written.
struct TableQuery {
    QString table;
    QString tail;
};

// The query's table and tail; nothing for any other form.
std::optional<TableQuery> parseTableQuery(QStringView sql);
