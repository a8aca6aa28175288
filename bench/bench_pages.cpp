// How the page path scales: sorting the largest chapter lists, decoding a
// large page once, as the page display does, and saving the reading position
// beside many saved series.
#include "archive/ZipPages.h"
#include "catalogue/NameOrder.h"
#include "catalogue/PageList.h"
#include "imaging/PictureLoader.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// Names in a shuffled order, as a file system or an archive hands them over.
QStringList shuffledNames(int count, const char *pattern)
{
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i)
        names << QString::asprintf(pattern, (i * 7919) % count);
    return names;
}

void sortChapterList(benchmark::State &state)
{
    const QStringList names = shuffledNames(int(state.range(0)), "Ch%05d");
    for (auto _ : state) {
        QStringList copy = names;
        NameOrder::sort(copy);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(sortChapterList)->Arg(100)->Arg(32767);

void folderPageList(benchmark::State &state)
{
    const QStringList files = shuffledNames(int(state.range(0)), "page%05d.JPG");
    for (auto _ : state)
        benchmark::DoNotOptimize(PageList::folderPageNames(files));
}
BENCHMARK(folderPageList)->Arg(200)->Arg(32767);

void zipPageList(benchmark::State &state)
{
    const QString listing = shuffledNames(int(state.range(0)), "Vol.1/%05d.jpg").join('\t') + '\t';
    for (auto _ : state)
        benchmark::DoNotOptimize(zipPageNames(listing));
}
BENCHMARK(zipPageList)->Arg(200)->Arg(32767);

void decodeLargeJpeg(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.jpg"));
    QImage page(2400, 3600, QImage::Format_RGB32);
    page.fill(Qt::darkCyan);
    page.save(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadPicture(path));
}
BENCHMARK(decodeLargeJpeg)->Unit(benchmark::kMillisecond);

// Saving the position of a page shown, as the window does, in a settings
// file that already holds this many series.
void savePosition(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    SettingsStore settings;
    for (int i = 0; i < state.range(0); ++i)
        settings.write(SettingsStore::FolderSection,
                       QStringLiteral("/home/reader/Comics/Series %1/").arg(i),
                       QStringLiteral("Chapter %1^^ %2").arg(i % 40).arg(i % 200 + 1));
    settings.sync();
    const QString folder = QStringLiteral("/home/reader/Comics/Series 7/");
    int page = 0;
    for (auto _ : state) {
        const QString number = QString::number(++page % 300 + 1);
        settings.write(QStringLiteral("General"), QStringLiteral("LastChapter"),
                       QStringLiteral("Chapter 7"));
        settings.write(QStringLiteral("General"), QStringLiteral("LastPage"), number);
        settings.write(SettingsStore::FolderSection, folder,
                       QStringLiteral("Chapter 7^^ ") + number);
        settings.write(QStringLiteral("General"), QStringLiteral("ChapterDirectory"), folder);
        if (!settings.sync())
            state.SkipWithError("the settings were not saved");
    }
}
BENCHMARK(savePosition)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
