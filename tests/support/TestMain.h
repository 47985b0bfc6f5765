#pragma once

#include "support/IsolatedHome.h"

#include <QGuiApplication>
#include <QTest>

// QTEST_MAIN with the test's own home folder set up before the application.
#define MIRELUNE_TEST_MAIN_WITH_APP(AppClass, TestObject)                                                              \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        IsolatedHome isolatedHome;                                                                                     \
        AppClass app(argc, argv);                                                                                      \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

#define MIRELUNE_TEST_MAIN(TestObject) MIRELUNE_TEST_MAIN_WITH_APP(QGuiApplication, TestObject)
