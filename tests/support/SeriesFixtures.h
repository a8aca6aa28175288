#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>

// Builds series folders and page images for the tests, on the fly.
namespace SeriesFixtures {

// Writes a solid page of the given pixel size as "PNG", "GIF", "BMP", "WEBP" or "JPG":
// the format given, else the one the extension names, else JPG.
void writePage(const QString &path, QSize size, const QColor &colour = Qt::darkCyan,
               const char *format = nullptr);
void writeBytes(const QString &path, const QByteArray &bytes); // making folders as needed
// The bytes of a solid page, for archive members.
QByteArray solidPage(QSize size, const QColor &colour, const char *format = "JPG");

// A folder chapter `name` in `seriesFolder` with the given page files
// (100 x 150 pixel pages unless the size is given).
QString makeFolderChapter(const QString &seriesFolder, const QString &name,
                          const QStringList &pageNames, QSize size = QSize(100, 150));

// Everything in a folder, hidden entries included, so leftovers show.
QStringList folderEntries(const QString &folder);
// A file's bytes; empty when it can't be read.
QByteArray fileContent(const QString &path);

} // namespace SeriesFixtures
