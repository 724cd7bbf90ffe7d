#pragma once

#include <QApplication>

// The application object: names the program and turns an exception that escapes any event
// handler into the general error report instead of ending the process.
class VardometerApplication : public QApplication {
    Q_OBJECT
public:
    VardometerApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    static QString helpFile() { return QStringLiteral("VARDOMETER.HLP"); }
};
