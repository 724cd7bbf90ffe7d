#pragma once

#include <QString>

#include <exception>

// The report of a failure before any window exists:
// "Exception <class> in module <program> at <address>." + line break + the message.
QString applicationErrorText(const std::exception& error, const QString& moduleName);

// Shows it in an error box titled "Application Error" (or on standard error when there is
// no screen to show it on).
void showApplicationError(const std::exception& error);
