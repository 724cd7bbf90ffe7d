#include "cli/PluginCheck.h"

#include "cli/OutputText.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace PluginCheck {

namespace {

bool reached(const Level& level, double freeMB, double totalMB)
{
    // Compared without dividing, so a disk exactly at a percentage counts as reaching it.
    return level.percent ? freeMB * 100 <= level.value * totalMB : freeMB <= level.value;
}

double inMB(const Level& level, double totalMB)
{
    return level.percent ? level.value * totalMB / 100 : level.value;
}

std::optional<Level> criticalOf(const Reading& r, const Levels& levels)
{
    if (levels.critical)
        return levels.critical;
    if (r.ownCriticalMB)
        return Level{*r.ownCriticalMB, false};
    return std::nullopt;
}

// A name or a reason as the status line shows it: a vertical bar would start the performance
// data and a line break a line of its own.
QString shownName(const QString& name)
{
    QString shown = withVisibleControlCharacters(name);
    shown.replace(u'|', u'/');
    return shown;
}

QString levelText(const Level& level)
{
    return level.percent ? number(level.value) + u'%' : number(level.value) + u" MB"_s;
}

// 'label'=valueMB;warn;crit;min;max with thresholds as ranges that alert below them.
QString perfItem(const QString& label, const Reading& r, const Levels& levels)
{
    const auto threshold = [&](const std::optional<Level>& level) {
        return level ? number(inMB(*level, r.totalMB)) + u':' : QString();
    };
    return u"'%1'=%2MB;%3;%4;0;%5"_s.arg(label, number(r.freeMB), threshold(levels.warning),
                                         threshold(criticalOf(r, levels)), number(r.totalMB));
}

int severity(State state)
{
    switch (state) {
    case State::Critical:
        return 3;
    case State::Warning:
        return 2;
    case State::Unknown:
        return 1;
    case State::Ok:
        break;
    }
    return 0;
}

} // namespace

const char* stateName(State state)
{
    switch (state) {
    case State::Ok:
        return "OK";
    case State::Warning:
        return "WARNING";
    case State::Critical:
        return "CRITICAL";
    case State::Unknown:
        break;
    }
    return "UNKNOWN";
}

std::optional<Level> parseLevel(const QString& text)
{
    Level level;
    QString digits = text;
    if (digits.endsWith(u'%')) {
        level.percent = true;
        digits.chop(1);
    }
    // Digits and one point only: no sign, no exponent, no grouping, whatever the locale.
    static const QRegularExpression plain(u"^(\\d+(\\.\\d*)?|\\.\\d+)$"_s);
    if (!plain.match(digits).hasMatch())
        return std::nullopt;
    level.value = digits.toDouble();
    if (!std::isfinite(level.value) || (level.percent && level.value > 100))
        return std::nullopt;
    return level;
}

Verdict judge(const Reading& r, const Levels& levels)
{
    switch (r.kind) {
    case Reading::Kind::Unknown:
        return {State::Unknown, r.detail};
    case Reading::Kind::NotFound:
        return {State::Critical,
                r.detail.isEmpty() ? u"not found"_s : u"not found (%1)"_s.arg(r.detail)};
    case Reading::Kind::Measured:
        break;
    }
    const QString figures =
        u"%1 MB free (%2%)"_s.arg(number(r.freeMB), number(r.freeMB / r.totalMB * 100));
    if (const std::optional<Level> critical = criticalOf(r, levels);
        critical && reached(*critical, r.freeMB, r.totalMB))
        return {State::Critical, figures + u", critical at "_s + levelText(*critical)};
    if (levels.warning && reached(*levels.warning, r.freeMB, r.totalMB))
        return {State::Warning, figures + u", warning at "_s + levelText(*levels.warning)};
    return {State::Ok, figures};
}

QString perfLabel(const QString& name)
{
    QString label;
    label.reserve(name.size());
    for (const QChar c : name) {
        const bool unsafe =
            c == u'\'' || c == u'=' || c == u'|' || c.category() == QChar::Other_Control ||
            c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph ||
            (c.isSpace() && c != u' ');
        label += unsafe ? u'_' : c;
    }
    return label.trimmed().isEmpty() ? u"_"_s : label;
}

QString labelOf(const QString& name)
{
    const QString safe = perfLabel(name);
    if (safe == name)
        return safe;
    const QByteArray utf8 = name.toUtf8();
    return safe + u'_' + QString::number(qChecksum(utf8), 16).rightJustified(4, u'0');
}

QString number(double value)
{
    QString text = QString::number(value, 'f', 2);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text == u"-0"_s ? u"0"_s : text;
}

Outcome check(const QList<Reading>& readings, const Levels& levels)
{
    if (readings.isEmpty())
        return unknown(u"no systems to check"_s);
    struct Judged {
        const Reading* reading;
        Verdict verdict;
    };
    QList<Judged> judged;
    State worst = State::Ok;
    QStringList perf;
    QSet<QString> labels;
    for (const Reading& r : readings) {
        judged.append({&r, judge(r, levels)});
        if (severity(judged.last().verdict.state) > severity(worst))
            worst = judged.last().verdict.state;
        if (r.kind != Reading::Kind::Measured)
            continue;
        // Should two labels still meet, the later one is told apart by a count.
        QString label = labelOf(r.name);
        for (int n = 2; labels.contains(label); ++n)
            label = labelOf(r.name) + u'_' + QString::number(n);
        labels.insert(label);
        perf << perfItem(label, r, levels);
    }

    // The first line stays short however many systems are in trouble: the worst ten by name,
    // then how many more.
    constexpr qsizetype MostNamed = 10;
    QStringList problems;
    qsizetype unnamed = 0;
    std::stable_sort(judged.begin(), judged.end(), [](const Judged& a, const Judged& b) {
        return severity(a.verdict.state) > severity(b.verdict.state);
    });
    for (const Judged& j : judged) {
        if (j.verdict.state == State::Ok)
            continue;
        if (problems.size() < MostNamed)
            problems << shownName(j.reading->name) + u": "_s + shownName(j.verdict.text);
        else
            ++unnamed;
    }
    if (unnamed > 0)
        problems << u"and %1 more"_s.arg(unnamed);

    QString text;
    if (!problems.isEmpty()) {
        text = problems.join(u", "_s);
    } else if (readings.size() == 1) {
        text = shownName(readings.front().name) + u": "_s + shownName(judged.front().verdict.text);
    } else {
        const auto least = std::min_element(readings.begin(), readings.end(),
                                            [](const Reading& a, const Reading& b) {
                                                return a.freeMB * b.totalMB < b.freeMB * a.totalMB;
                                            });
        text = u"all %1 systems OK, least free %2: %3"_s.arg(
            QString::number(readings.size()), shownName(least->name), judge(*least, levels).text);
    }
    QString line = u"VARDOMETER %1 - %2"_s.arg(QLatin1StringView(stateName(worst)), text);
    if (!perf.isEmpty())
        line += u" | "_s + perf.join(u' ');
    return {worst, line};
}

Outcome unknown(const QString& reason)
{
    return {State::Unknown, u"VARDOMETER UNKNOWN - "_s + shownName(reason)};
}

} // namespace PluginCheck
