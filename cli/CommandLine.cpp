#include "cli/CommandLine.h"

#include "cli/Usage.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// Each verb's options that take a value: the word after one is never read as an option.
QStringList optionsWithValueOf(const QString& verb)
{
    if (verb == u"check" || verb == u"snapshot")
        return {u"--timeout"_s};
    if (verb == u"export")
        return {u"--system"_s, u"--output"_s};
    if (verb == u"forecast")
        return {u"--system"_s};
    if (verb == u"metrics")
        return {u"--output"_s};
    if (verb == u"plugin")
        return {u"--system"_s,  u"--warning"_s, u"--critical"_s, u"--max-age"_s,
                u"--timeout"_s, u"-w"_s,        u"-c"_s,         u"-t"_s};
    return {};
}

// The verb: the first word that is neither an option every verb shares nor its value.
QString verbIn(const QStringList& arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--database")
            ++i;
        else if (!a.startsWith(u'-'))
            return a;
    }
    return {};
}

qsizetype countWordsNotOptions(const QStringList& arguments, const QStringList& withValue)
{
    qsizetype words = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (withValue.contains(arguments[i]))
            ++i;
        else if (!arguments[i].startsWith(u'-'))
            ++words;
    }
    return words;
}

bool asksForHelp(const QStringList& arguments, const QStringList& withValue)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (withValue.contains(arguments[i]))
            ++i;
        else if (arguments[i] == u"--help" || arguments[i] == u"-h")
            return true;
    }
    return false;
}

CommandLine wrong(const QString& verb, const QString& error = {})
{
    CommandLine line;
    line.action = CommandLine::Action::Wrong;
    line.verb = verb;
    line.error = error;
    return line;
}

} // namespace

CommandLine CommandLine::parse(QStringList arguments)
{
    CommandLine line;
    if (arguments.size() == 1 && (arguments[0] == u"--help" || arguments[0] == u"-h")) {
        line.action = Action::ShowUsage;
        return line;
    }
    if (arguments.size() == 1 && arguments[0] == u"--version") {
        line.action = Action::ShowVersion;
        return line;
    }

    QString error;
    const QStringList withValue = optionsWithValueOf(verbIn(arguments));
    const std::optional<DatabaseLocation::Choice> choice =
        DatabaseLocation::takeFrom(arguments, withValue, &error);
    if (arguments.isEmpty() || arguments.front().startsWith(u'-'))
        return wrong({}, error);
    line.verb = arguments.takeFirst();
    if (Usage::ofVerb(line.verb).isEmpty())
        return wrong({}, u"no verb called %1"_s.arg(line.verb));
    if (!choice)
        return wrong(line.verb, error);
    if (asksForHelp(arguments, withValue)) {
        line.action = Action::ShowVerbUsage;
        return line;
    }

    // Every verb ends with an optional database; export's kind comes before it.
    const qsizetype words = line.verb == u"export" ? 2 : 1;
    if (choice->kind != DatabaseLocation::Kind::WorkingDirectory) {
        if (countWordsNotOptions(arguments, withValue) >= words)
            return wrong(line.verb, u"give one database: --user, --database FILE or FILE"_s);
        arguments << choice->file;
    }
    line.action = Action::Run;
    line.verbArguments = arguments;
    line.database = choice->kind;
    return line;
}
