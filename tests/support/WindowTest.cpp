#include "support/WindowTest.h"

#include "toolkit/ErrorReport.h"

#include <QTest>

#include <utility>

void WindowTest::init()
{
    ErrorReport::setHandler([this](const QString&, const QString& text) { reports << text; });
}

void WindowTest::cleanup()
{
    ErrorReport::setHandler({});
    const QStringList unexpected = std::exchange(reports, {});
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(u'\n')));
}
