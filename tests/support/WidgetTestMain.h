#pragma once

#include <QApplication>
#include <QTest>

// main() for a test program with windows: offscreen, so it runs without a display, and with
// a QApplication, since the widgets need one.
#define VARDOMETER_WIDGET_TEST_MAIN(TestClass)                                                     \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                   \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
