#include "app/ApplicationError.h"

#include "data/Errors.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <typeinfo>

using namespace Qt::Literals::StringLiterals;

QString applicationErrorText(const std::exception& error, const QString& moduleName)
{
    QString className = QString::fromLatin1(typeid(error).name());
    QString message = QString::fromLocal8Bit(error.what());
    const void* address = &error;
    if (const auto* own = dynamic_cast<const VardometerError*>(&error)) {
        className = QString::fromLatin1(own->className());
        message = own->message();
        address = own->raiseAddress();
    }
    const QString where =
        QString::number(reinterpret_cast<quintptr>(address), 16).toUpper().rightJustified(16, u'0');
    return u"Exception %1 in module %2 at %3.\n%4"_s.arg(className, moduleName, where, message);
}

void showApplicationError(const std::exception& error)
{
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QString text = applicationErrorText(error, module);
    std::fprintf(stderr, "Application Error\n%s\n", qPrintable(text));
    const QString platform = QGuiApplication::platformName();
    if (platform != u"offscreen" && platform != u"minimal")
        QMessageBox::critical(nullptr, u"Application Error"_s, text);
}
