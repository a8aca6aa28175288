#pragma once

#include "app/frmMain.h"

#include <QString>
#include <memory>

// The main window for tests that open their folders themselves.
namespace WindowFixtures {

// A shown main window that skips the start-up (no stored folder is opened,
// no drag is in progress).
std::unique_ptr<frmMain> windowWithoutStartup();

// Opens the series folder as a folder change does: folder box, chapter
// list, chapter controls enabled; then selects `chapter` by index (-1: none).
void openSeries(frmMain &w, const QString &folder, int chapter);
// The same, selecting the chapter by its text.
void openSeries(frmMain &w, const QString &folder, const QString &chapter);

} // namespace WindowFixtures
