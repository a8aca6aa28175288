#pragma once

#include "ScriptedPrompts.h"

#include <QString>

// Every test run gets a private root folder with its own XDG_CONFIG_HOME,
// TMPDIR and HOME, set before QApplication exists, so no test touches the
// real home folder or another run's files. The root goes when the run ends.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    static inline QString root; // the run's root folder (no trailing "/")
    // A fresh, empty folder under the root for one test's fixtures.
    static QString freshFolder(const QString &name);
    // The program's settings file in this run.
    static QString settingsFile() { return root + "/config/SorvikViewer/SorvikViewer.ini"; }
};

// QTEST_MAIN with the private environment in place first, and every message
// and input box answered from a script unless a test installs its own, so no
// test can ever wait on a modal box.
#define PAGORA_TEST_MAIN(TestObject)                                                               \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        TestEnvironment environment;                                                               \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        ScriptedPrompts::install();                                                                \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
