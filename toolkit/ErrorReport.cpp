#include "toolkit/ErrorReport.h"

#include "data/Errors.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace ErrorReport {
namespace {

bool hasScreenForDialogs()
{
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen" && platform != u"minimal";
}

void defaultHandler(const QString& caption, const QString& text)
{
    if (!hasScreenForDialogs() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
        return;
    }
    QMessageBox::critical(QApplication::activeWindow(), caption, text);
}

Handler& currentHandler()
{
    static Handler handler = defaultHandler;
    return handler;
}

} // namespace

QString withFullStop(const QString& message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

Handler setHandler(Handler handler)
{
    Handler previous = std::move(currentHandler());
    currentHandler() = handler ? std::move(handler) : Handler(defaultHandler);
    return previous;
}

void report(const QString& message)
{
    const QString caption = QGuiApplication::applicationDisplayName();
    currentHandler()(caption, withFullStop(message));
}

QString messageOf(const std::exception& error)
{
    if (const auto* own = dynamic_cast<const VardometerError*>(&error))
        return own->message();
    return QString::fromLocal8Bit(error.what());
}

void report(const std::exception& error)
{
    report(messageOf(error));
}

} // namespace ErrorReport
