#pragma once

#include "data/DM2.h"
#include "support/EngineDoubles.h"
#include "support/TestDatabase.h"
#include "ui/MainForm.h"

#include <memory>

// The main window over a test database, with a scripted probe, a fixed clock and the real
// mail transport. The
// database is shaped first (statements run before anything opens it), then open() builds
// the data module and the window as a start of the program would.
struct MainWindowFixture {
    TestDatabase db;
    std::unique_ptr<TDMVardometer> dm;
    ScriptedProbe probe;
    FixedClock clock;
    std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
    std::unique_ptr<TMainForm> form;

    explicit MainWindowFixture(const QList<DatabaseCreator::NewSystem>& systems,
                               const QStringList& sql = {})
        : db(systems)
    {
        for (const QString& statement : sql)
            db.exec(statement);
    }
    void open()
    {
        dm = std::make_unique<TDMVardometer>(db.path());
        form = std::make_unique<TMainForm>(*dm, QStringList{}, probe, clock, *mail);
    }
};
