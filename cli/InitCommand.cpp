#include "cli/InitCommand.h"

#include "cli/OutputText.h"
#include "cli/Usage.h"

#include "data/DM2.h"
#include "data/DatabaseCreator.h"
#include "data/Errors.h"
#include "engine/Clock.h"
#include "engine/DemoDatabase.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/SmtpTransport.h"

#include <memory>

using namespace Qt::Literals::StringLiterals;

int runInitCommand(const QStringList& arguments, FILE* out, FILE* err)
{
    bool demo = false;
    QString fileName;
    for (const QString& a : arguments) {
        if (a == u"--demo")
            demo = true;
        else if (a.startsWith(u'-') || !fileName.isEmpty())
            return Usage::wrongCommandLine(err, u"init"_s);
        else
            fileName = a;
    }
    if (fileName.isEmpty())
        fileName = TDMVardometer::defaultFileName();

    try {
        if (!demo) {
            DatabaseCreator::create(fileName);
            printLine(out, u"Created "_s + fileName);
            return 0;
        }
        SystemClock clock;
        const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
        const std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
        const DemoDatabase::Result demoResult =
            DemoDatabase::create(fileName, *probe, clock, *mail);
        // The database is sound without its first figures, so this is only a warning.
        if (!demoResult.measurementError.isEmpty())
            printLine(err, u"The first measurement of the demo systems failed: "_s +
                               demoResult.measurementError);
        printLine(out, u"Created %1 with %2 system(s)"_s.arg(fileName).arg(demoResult.systems));
        return 0;
    } catch (const VardometerError& e) {
        printLine(err, e.message());
        return 2;
    }
}
