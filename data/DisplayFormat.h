#pragma once

#include "data/FieldDef.h"

#include <QLocale>
#include <QString>
#include <QVariant>

// The text a stored value is shown as. Supported patterns: "#.00" (two decimals, no digit
// before the point when the whole part is 0), "#,##0" (whole number with the locale's
// thousands separator), "hh:mm:ss" in either case (24-hour time), "t" (the locale's short
// time). An empty pattern shows the value in its natural form. Null shows as empty text.
QString formatDisplayText(const QVariant& value, FieldKind kind, const QString& pattern,
                          const QLocale& locale = QLocale());
