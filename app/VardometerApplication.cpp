#include "app/VardometerApplication.h"

#include "toolkit/ErrorReport.h"

using namespace Qt::Literals::StringLiterals;

VardometerApplication::VardometerApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(u"Vardometer"_s);
    setApplicationDisplayName(u"Vardometer"_s);
    setOrganizationName(u"Vardometer"_s);
}

bool VardometerApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ErrorReport::report(e);
    } catch (...) {
        ErrorReport::report(u"Unknown error"_s);
    }
    return false;
}
