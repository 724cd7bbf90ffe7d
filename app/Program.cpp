#include "app/Program.h"

#include "data/DM2.h"
#include "engine/Clock.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/SmtpTransport.h"
#include "ui/MainForm.h"

Program::Program(const QString& databaseFile, const QStringList& arguments)
    : m_clock(std::make_unique<SystemClock>())
    , m_probe(createDiskSpaceProbe())
    , m_mail(createSmtpTransport())
    , m_dataModule(std::make_unique<TDMVardometer>(databaseFile))
    , m_mainForm(std::make_unique<TMainForm>(*m_dataModule, arguments, *m_probe, *m_clock, *m_mail))
{
    m_mainForm->show();
}

Program::~Program()
{
    m_mainForm.reset();
    m_dataModule.reset();
}
