#include "engine/Directories.h"

#include "engine/EngineHost.h"
#include "engine/RunGuards.h"

#include "data/DM2.h"
#include "data/Errors.h"

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {
constexpr int InitialAlertListSize = 10'000;
}

dvDirectories::dvDirectories(TDMVardometer& dataModule, EngineHost& host, DiskSpaceProbe& probe,
                             const Clock& clock, SmtpTransport& mail)
    : m_dm(dataModule)
    , m_host(host)
    , m_probe(probe)
    , m_clock(clock)
    , m_mail(mail)
{
    BusyGuard busy(m_host);
    ReadOptions();
    // New systems start with the default threshold read now; a later change of the option
    // reaches new rows at the next start.
    m_dm.ATblSystems.setFieldDefault(u"Alert1MB"_s, static_cast<double>(DefaultAlertMB));
}

void dvDirectories::ReadOptions()
{
    DataSet& options = m_dm.ATblOptions;
    options.first(); // also saves a pending change of the Options row
    DefaultAlertMB = options.fieldByName(u"DefaultAlertMB"_s).asInteger();
    EMailAlerts = options.fieldByName(u"EMailAlerts"_s).asBoolean();
    PopupAlerts = options.fieldByName(u"PopupAlerts"_s).asBoolean();
    EMailHost = options.fieldByName(u"EMailHost"_s).asString();
    EMailUsername = options.fieldByName(u"EMailUsername"_s).asString();
    EMailPassword = options.fieldByName(u"EMailPassword"_s).asString();
    EMailAuth = options.fieldByName(u"EMailAuth"_s).asBoolean();
    EMailSubject = options.fieldByName(u"EMailSubject"_s).asString();
    EMailFrom = options.fieldByName(u"EMailFrom"_s).asString();
}

void dvDirectories::resetAlertList()
{
    // The empty entries are made when the first line comes: most runs raise none, and
    // making ten thousand of them cost a short run more than its alerts do. Until then
    // every entry reads as empty all the same.
    AlertLines = QStringList();
    AlertCount = 0;
}

void dvDirectories::addAlertLine(const QString& line)
{
    if (AlertCount == std::numeric_limits<int>::max())
        raiseIntegerOverflow();
    if (AlertLines.isEmpty())
        AlertLines = QStringList(InitialAlertListSize);
    ++AlertCount;
    if (AlertCount < AlertLines.size())
        AlertLines[AlertCount] = line;
    else
        AlertLines.append(line); // a run keeps every line, however many
}

QString dvDirectories::alertLine(int i) const
{
    return i >= 0 && i < AlertLines.size() ? AlertLines[i] : QString();
}

QStringList dvDirectories::currentAlertLines() const
{
    QStringList lines;
    for (int i = 1; i <= AlertCount; ++i)
        lines << alertLine(i);
    return lines;
}

void dvDirectories::RefreshSystemTree()
{
    m_host.setCompanyName(m_dm.ATblOptions.fieldByName(u"CompanyName"_s).asString());
    m_host.clearSystemList();
    SystemCount = 0;
    DataSet& systems = m_dm.ATblSystems;
    systems.first();
    while (!systems.eof()) {
        ++SystemCount;
        m_host.addSystem(systems.fieldByName(u"System"_s).asString());
        systems.next();
    }
}
