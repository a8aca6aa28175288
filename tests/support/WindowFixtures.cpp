#include "WindowFixtures.h"

#include "TestEnvironment.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QtTest>

namespace WindowFixtures {

std::unique_ptr<frmMain> firstRunWindow()
{
    QFile::remove(TestEnvironment::settingsFile());
    auto w = std::make_unique<frmMain>();
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get()))
        qWarning("the main window did not become active");
    return w;
}

void openSeries(frmMain &w, const QString &folder, const QString &chapter)
{
    w.OpenFolderAfterStartup(folder.endsWith('/') ? folder : folder + '/');
    auto *chapters = control<QComboBox>(w, "cboChapters");
    if (!chapter.isEmpty() && chapters->findText(chapter) < 0)
        qFatal("no chapter %s", qPrintable(chapter));
    if (!chapter.isEmpty())
        chapters->setCurrentIndex(chapters->findText(chapter));
}

void goToPage(frmMain &w, int page)
{
    // The pop-up menu's page entries, which work wherever the focus is.
    auto *next = control<QAction>(w, "rcmnuNextPage");
    auto *previous = control<QAction>(w, "rcmnuPreviousPage");
    for (int guard = 0; w.view().page != page && guard < 10000; ++guard)
        (w.view().page < page ? next : previous)->trigger();
    if (w.view().page != page)
        qWarning("page %d not reached", page);
}

} // namespace WindowFixtures
