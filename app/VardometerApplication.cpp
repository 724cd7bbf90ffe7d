#include "app/VardometerApplication.h"

#include "toolkit/ErrorReport.h"

#include <QIcon>

using namespace Qt::Literals::StringLiterals;

VardometerApplication::VardometerApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(u"Vardometer"_s);
    // No display name: Qt would append it to every window's caption, and each window's
    // caption is exactly its own ("Systems", " Options"). Captions of error boxes take the
    // application name instead, which is the same text.
    setOrganizationName(u"Vardometer"_s);
    // The desktop matches the running window to its menu entry (and its icon) by this name.
    setDesktopFileName(u"org.vardometer.Vardometer"_s);
    QIcon icon;
    icon.addFile(u":/icons/vardometer-64.png"_s);
    icon.addFile(u":/icons/vardometer-256.png"_s);
    setWindowIcon(icon);
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
