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

} // namespace ErrorReport
