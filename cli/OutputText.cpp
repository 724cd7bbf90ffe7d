#include "cli/OutputText.h"

using namespace Qt::Literals::StringLiterals;

QString withVisibleControlCharacters(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            out += u"\\n"_s;
        else if (u == u'\r')
            out += u"\\r"_s;
        else if (u == u'\t')
            out += u"\\t"_s;
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            out += u"\\x"_s + QString::number(u, 16).toUpper().rightJustified(2, u'0');
        else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            out += u"\\u"_s + QString::number(u, 16).toUpper().rightJustified(4, u'0');
        else
            out += c;
    }
    return out;
}
