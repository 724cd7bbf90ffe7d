#pragma once

#include <QStringList>

#include <memory>

class Clock;
class DiskSpaceProbe;
class SmtpTransport;
class TDMVardometer;
class TMainForm;

// Everything the program creates at start, in creation order; destroyed in reverse order,
// so the main window closes its datasets before the data module goes.
class Program {
public:
    enum class MissingDatabase { Refuse, CreateDemo };

    // Throws when the data module cannot load; no window exists then. A missing file is
    // refused, or made with this machine's own disks, measured once, as the first start of a
    // user's own database wants.
    Program(const QString& databaseFile, const QStringList& arguments,
            MissingDatabase missing = MissingDatabase::Refuse);
    ~Program();

    TDMVardometer& dataModule() { return *m_dataModule; }
    TMainForm& mainForm() { return *m_mainForm; }

private:
    std::unique_ptr<TDMVardometer> loadDataModule(const QString& file, MissingDatabase missing);

    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<DiskSpaceProbe> m_probe;
    std::unique_ptr<SmtpTransport> m_mail;
    std::unique_ptr<TDMVardometer> m_dataModule;
    std::unique_ptr<TMainForm> m_mainForm;
};
