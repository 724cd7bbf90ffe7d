// DataSet: matching the declared fields to the columns of the file.
#include "data/DataSet.h"

#include "data/DataSetInternal.h"
#include "data/DataSource.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/RowReader.h"
#include "data/Schema.h"
#include "data/Variant.h"

#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace {

FieldKind kindFromSqlType(const QString& type)
{
    const QString t = type.toUpper();
    if (t.contains(u"INT"_s))
        return FieldKind::Integer;
    if (t.contains(u"REAL"_s) || t.contains(u"FLOA"_s) || t.contains(u"DOUB"_s))
        return FieldKind::Double;
    return FieldKind::Text;
}

} // namespace

void DataSet::buildFields()
{
    m_fields.clear();
    m_fieldsByText.clear();
    m_columns.clear();
    QSqlQuery info = m_connection.exec(u"PRAGMA table_info(%1)"_s.arg(Schema::quoted(m_table)));
    QStringList names;
    QStringList types;
    while (info.next()) {
        names << info.value(1).toString();
        types << info.value(2).toString();
    }
    info.finish();
    if (names.isEmpty())
        raise(u"Table '%1' not found"_s.arg(m_table));

    auto indexOf = [&](const QString& name) {
        for (int i = 0; i < names.size(); ++i)
            if (names[i].compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };

    FieldDefs defs;
    if (!m_declared.isEmpty()) {
        for (const FieldDef& def : std::as_const(m_declared)) {
            const int i = indexOf(def.name);
            if (i < 0)
                raise(u"Field '%1' not found"_s.arg(def.label()));
            defs << def;
            m_columns << names[i];
        }
    } else {
        // Every column of the table; known columns keep their kind, others follow the file.
        FieldDefs known;
        for (const TableDef& t : Schema::requiredTables())
            if (t.name.compare(m_table, Qt::CaseInsensitive) == 0)
                known = t.columns;
        for (int i = 0; i < names.size(); ++i) {
            FieldDef def = FieldDef::of(names[i], kindFromSqlType(types[i]));
            for (const FieldDef& k : std::as_const(known))
                if (k.name.compare(names[i], Qt::CaseInsensitive) == 0)
                    def = FieldDef::of(k.name, k.kind, k.size);
            defs << def;
            m_columns << names[i];
        }
    }
    for (int i = 0; i < defs.size(); ++i)
        m_fields.push_back(std::make_unique<Field>(*this, defs[i], i));
    m_quotedColumns.clear();
    m_updateSql.clear();
    m_insertSql.clear();
    for (const QString& column : std::as_const(m_columns))
        m_quotedColumns << Schema::quoted(column);
}

void DataSet::setFieldDefault(const QString& fieldName, const QVariant& value)
{
    for (FieldDef& def : m_declared)
        if (def.name.compare(fieldName, Qt::CaseInsensitive) == 0)
            def.defaultValue = value;
    if (Field* live = findField(fieldName))
        live->setDefaultValue(value);
}

Field* DataSet::findField(const QString& name)
{
    // Runs look the same fields up by the same literal names thousands of times: the field
    // last found for a name's storage is tried first. The name is held beside it, so the
    // same storage and length are the same text.
    const auto cached = m_fieldsByText.constFind(name.constData());
    if (cached != m_fieldsByText.constEnd() && cached->name.size() == name.size())
        return cached->field;
    for (const auto& f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0) {
            // Names built on the fly each leave a key of their own; a few dozen is plenty.
            if (m_fieldsByText.size() >= 64)
                m_fieldsByText.clear();
            m_fieldsByText.insert(name.constData(), {name, f.get()});
            return f.get();
        }
    return nullptr;
}

Field& DataSet::fieldByName(const QString& name)
{
    if (Field* f = findField(name))
        return *f;
    raise(u"Field '%1' not found"_s.arg(name));
}
