#pragma once

#include "app/frmMain.h"

#include <QComboBox>
#include <QString>
#include <memory>

// The main window as a reader meets it, for the window suites.
namespace WindowFixtures {

// A shown, active main window on the settings as they are, given a folder to open at start-up
// unless empty; firstRunWindow removes the settings first.
std::unique_ptr<frmMain> startedWindow(const QString &folderToOpen = {});
std::unique_ptr<frmMain> firstRunWindow();

// Opens the series folder as typing it into the folder box does, then
// chooses `chapter` by its text ("" keeps the chapter the folder opened at).
void openSeries(frmMain &w, const QString &folder, const QString &chapter = {});

// The control of that object name in the window or a dialog; the test fails without it.
template <typename Control = QWidget> Control *control(const QObject &w, const char *name)
{
    auto *found = w.findChild<Control *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// Presses keys on the focused control until `page` of the chapter shows.
void goToPage(frmMain &w, int page);
// Clicks the button, triggers the menu entry, or presses the keys on the viewport.
void command(frmMain &w, const QString &name);
// Which of the page buttons <<, <, >, >> are enabled, as "0011".
QString pageButtons(const frmMain &w);
QStringList items(const QComboBox *list);

} // namespace WindowFixtures
