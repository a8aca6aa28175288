#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// The pages and folders the reader benchmarks read. Pages look like scans
// (paper grain, line art, hatching, tinted fills, noise over all of it), so
// they compress and decode like real ones; flat pages would flatter both the
// library and the reader.
namespace BenchInputs {

enum class Format { Jpeg, Png };

// One chapter the benchmarks page through; its name is also the chapter's
// text in the reader's chapter list.
struct Chapter {
    QString name;
    Format format;
    QSize pageSize;
    int pages;
    bool zip;
    int distinctPages; // pages beyond these repeat their bytes under new names
};

// The chapters of the series folder, in the order the benchmarks use them.
QList<Chapter> chapters();
// The chapter named `name`; a chapter with an empty name when there is none.
Chapter chapter(const QString &name);

// Chapters that are opened only to leave another one: one small page.
inline QString spacerChapter()
{
    return QStringLiteral("spacer");
}
// The series folder of many chapters, and how many it holds.
inline QString manyChaptersFolder()
{
    return QStringLiteral("chapters-5000");
}
constexpr int ManyChapters = 5000;

// `root`/series/ holds every chapter above; `root`/chapters-5000/ holds the
// long chapter list. Writes a stamp last; returns false (with a message on
// stderr) when something could not be written.
bool generate(const QString &root);
bool isGenerated(const QString &root);
QString seriesFolder(const QString &root);

// The file name of page `index` (0-based) of `chapter`.
QString pageName(const Chapter &chapter, int index);
// The path of a page's file (folder chapter) or of the archive (zip chapter).
QString chapterPath(const QString &root, const Chapter &chapter);

// A textured page, reproducible from its seed.
QImage scanLikePage(QSize size, quint32 seed);

} // namespace BenchInputs
