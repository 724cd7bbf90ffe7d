#pragma once

#include <QObject>
#include <QStringList>

// The base of a test program with windows. While each test function runs, what the general
// error report would have shown is collected in reports instead; a report still there at the
// end (one the test did not expect and take out) fails the test function.
//
// A test that needs more before or after each function declares its own init() or
// cleanup() and calls these from it.
class WindowTest : public QObject {
    Q_OBJECT
protected:
    QStringList reports;

protected Q_SLOTS:
    void init();
    void cleanup();
};
