#include "app/Program.h"

#include "data/DM2.h"
#include "engine/Clock.h"
#include "engine/DemoDatabase.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/SmtpTransport.h"
#include "ui/MainForm.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>

Program::Program(const QString& databaseFile, const QStringList& arguments, MissingDatabase missing)
    : m_clock(std::make_unique<SystemClock>())
    , m_probe(createDiskSpaceProbe())
    , m_mail(createSmtpTransport())
    , m_dataModule(loadDataModule(databaseFile, missing))
    , m_mainForm(std::make_unique<TMainForm>(*m_dataModule, arguments, *m_probe, *m_clock, *m_mail))
{
    m_mainForm->show();
}

std::unique_ptr<TDMVardometer> Program::loadDataModule(const QString& file, MissingDatabase missing)
{
    if (missing == MissingDatabase::CreateDemo && !QFileInfo::exists(file)) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        // Without its first figures the window still opens on the new systems, and the
        // next run measures them.
        const DemoDatabase::Result demo = DemoDatabase::create(file, *m_probe, *m_clock, *m_mail);
        if (!demo.measurementError.isEmpty())
            qWarning("The first measurement of the demo systems failed: %s",
                     qPrintable(demo.measurementError));
    }
    return std::make_unique<TDMVardometer>(file);
}

Program::~Program()
{
    m_mainForm.reset();
    m_dataModule.reset();
}
