#pragma once

#include <QString>

#include <exception>
#include <functional>

// The general error report: an error that ends a handler is shown in an error box captioned
// with the application title, and the program goes on.
namespace ErrorReport {

// Adds a full stop when the message's last character sorts after '.', as every report
// always has ("Integer overflow" -> "Integer overflow.", "Done." stays, "(42)" stays).
QString withFullStop(const QString& message);

// Where reports go. The default shows a modal error box (and, with no screen to show it
// on, writes the text to standard error instead). Tests install a recorder.
using Handler = std::function<void(const QString& caption, const QString& text)>;
Handler setHandler(Handler handler);

void report(const QString& message);
void report(const std::exception& error);
// The text an error is reported with (its message, without the added full stop).
QString messageOf(const std::exception& error);

// Runs the body of a UI entry point (a menu command, a button, a timer tick, a chart or grid
// callback) and reports whatever error it raises, so no exception unwinds through Qt's
// signal and slot frames.
template <typename Action> void guarded(Action&& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        report(e);
    } catch (...) {
        report(QStringLiteral("Unknown error"));
    }
}

} // namespace ErrorReport
