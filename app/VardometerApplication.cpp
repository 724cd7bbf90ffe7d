#include "app/VardometerApplication.h"

#include "toolkit/ErrorReport.h"

using namespace Qt::Literals::StringLiterals;

VardometerApplication::VardometerApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(u"Vardometer"_s);
    // No display name: Qt would append it to every window's caption, and each window's
    // caption is exactly its own ("Systems", " Options"). Captions of error boxes take the
    // application name instead, which is the same text.
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
