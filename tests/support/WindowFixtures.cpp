#include "WindowFixtures.h"

#include "TestEnvironment.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QtTest>

namespace WindowFixtures {

std::unique_ptr<frmMain> startedWindow(const QString &folderToOpen)
{
    auto w = std::make_unique<frmMain>();
    w->OpenFolderAfterStartup(folderToOpen);
    w->show(), w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get()))
        qWarning("the main window did not become active");
    return w;
}

std::unique_ptr<frmMain> firstRunWindow()
{
    QFile::remove(TestEnvironment::settingsFile());
    return startedWindow();
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

void command(frmMain &w, const QString &name)
{
    if (auto *button = w.findChild<QAbstractButton *>(name))
        QTest::mouseClick(button, Qt::LeftButton);
    else if (auto *entry = w.findChild<QAction *>(name))
        entry->trigger();
    else
        QTest::keyClick(control(w, "PicImage"), QKeySequence(name)[0].key(),
                        QKeySequence(name)[0].keyboardModifiers());
}

QString pageButtons(const frmMain &w)
{
    QString enabled;
    for (int i = 0; i < 4; ++i)
        enabled += control(w, qPrintable(QString("cmdNavigate(%1)").arg(i)))->isEnabled() ? '1'
                                                                                          : '0';
    return enabled;
}

QStringList items(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

} // namespace WindowFixtures
