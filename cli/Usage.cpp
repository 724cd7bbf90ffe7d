#include "cli/Usage.h"

#include <QList>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace Usage {

namespace {

struct VerbLines {
    QString verb;
    QStringList lines;
};

const QList<VerbLines>& verbs()
{
    static const QList<VerbLines> table = {
        {u"init"_s, {u"init [--demo] [FILE]"_s}},
        {u"check"_s, {u"check [--timeout SECONDS] [FILE]"_s}},
        {u"snapshot"_s, {u"snapshot [--timeout SECONDS] [FILE]"_s}},
        {u"export"_s,
         {u"export summary|history|systems [--system NAME] --output FILE [DATABASE]"_s}},
        {u"compact"_s, {u"compact [DATABASE]"_s}},
        {u"forecast"_s, {u"forecast [--system NAME] [--json] [DATABASE]"_s}},
        {u"metrics"_s, {u"metrics [--output FILE] [DATABASE]"_s}},
        {u"plugin"_s,
         {u"plugin [--system NAME]... [--warning MB|%] [--critical MB|%] [--measure] "
          u"[--max-age HOURS] [--timeout SECONDS] [DATABASE]"_s}},
    };
    return table;
}

const QString Program = u"vardometer-cli "_s;

QString block(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += (text.isEmpty() ? u"usage: "_s : u"       "_s) + Program + line + u'\n';
    return text;
}

} // namespace

QString all()
{
    QStringList lines{u"[--user | --database FILE] VERB [OPTIONS]"_s};
    for (const VerbLines& v : verbs())
        lines << v.lines;
    lines << u"--help | --version | VERB --help"_s;
    return block(lines);
}

QString ofVerb(const QString& verb)
{
    for (const VerbLines& v : verbs()) {
        if (v.verb == verb)
            return block(v.lines);
    }
    return {};
}

int wrongCommandLine(FILE* err, const QString& verb)
{
    const QString text = ofVerb(verb);
    std::fputs((text.isEmpty() ? all() : text).toLocal8Bit().constData(), err);
    return 2;
}

} // namespace Usage
