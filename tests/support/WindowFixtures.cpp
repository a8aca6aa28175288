#include "WindowFixtures.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QtTest>

namespace WindowFixtures {

std::unique_ptr<frmMain> windowWithoutStartup()
{
    auto w = std::make_unique<frmMain>();
    w->StartupDone = true;
    w->DragAnchorX = -1;
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get()))
        qWarning("the main window did not become active");
    return w;
}

void openSeries(frmMain &w, const QString &folder, int chapter)
{
    w.PagoraFolder = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    w.cboPagoraDir->setEditText(w.PagoraFolder);
    w.LoadChapterList(w.PagoraFolder);
    w.cboChapters->setEnabled(true);
    w.RCMenu->setEnabled(true);
    if (chapter >= 0)
        w.cboChapters->setCurrentIndex(chapter);
}

void openSeries(frmMain &w, const QString &folder, const QString &chapter)
{
    openSeries(w, folder, -1);
    w.cboChapters->setCurrentIndex(w.cboChapters->findText(chapter));
}

} // namespace WindowFixtures
