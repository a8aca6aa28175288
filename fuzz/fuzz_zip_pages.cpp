// Archive chapters: the bytes become a zip file in a private temporary
// folder, whose pages are listed (listZipPages), read (readZipPage) and
// extracted into this run's private folder (extractZipPage) as the page
// display does. Aborts when anything appears outside that folder, or
// anything but page files inside it. Password boxes are cancelled at once.
#include "archive/ZipPages.h"
#include "archive/modUnZip.h"
#include "platform/FileSystem.h"
#include "platform/PlatformError.h"
#include "platform/Prompts.h"
#include "platform/PrivateRunFolder.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

class CancelPrompts : public Prompts {
public:
    PromptResult message(const MessageRequest &) override { return PromptResult::Cancel; }
    InputAnswer input(const InputRequest &) override { return {}; }
};

QTemporaryDir *parent;   // $TMPDIR of this process
PrivateRunFolder *run;   // the extraction folder, inside it
QString archivePath;     // beside it

// Everything under the parent folder, except the inside of the run folder,
// which must hold only files: its lock and "TempImage.*" pages.
QStringList outsideEntries()
{
    QStringList outside;
    QDirIterator it(parent->path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.startsWith(run->path())) {
            outside.append(path);
            continue;
        }
        const QFileInfo info = it.fileInfo();
        if (info.path() + QLatin1Char('/') != run->path() || !info.isFile() || info.isSymLink()
            || !(info.fileName() == QLatin1String(".lock")
                 || info.fileName().startsWith(QLatin1String("TempImage.")))) {
            std::fprintf(stderr, "fuzz_zip_pages: unexpected %s\n", qPrintable(path));
            std::abort();
        }
    }
    outside.sort();
    return outside;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    // Statics, so both folders are removed at exit, the run folder first.
    static QTemporaryDir parentFolder(QDir::tempPath() + QStringLiteral("/pagora-fuzz-XXXXXX"));
    parent = &parentFolder;
    if (!parent->isValid())
        std::abort();
    qputenv("TMPDIR", QFile::encodeName(parent->path()));
    static PrivateRunFolder runFolder;
    run = &runFolder;
    if (!run->isValid())
        std::abort();
    archivePath = parent->filePath(QStringLiteral("chapter.zip"));
    Prompts::install(std::make_unique<CancelPrompts>());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QFile file(archivePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    const QStringList before = outsideEntries();

    modUnZip::ZipPasswordCancelled = 0; // every input meets the password box afresh
    FileSystem fs;
    for (const QString &page : listZipPages(archivePath)) {
        readZipPage(archivePath, page);
        try {
            extractZipPage(fs, archivePath, page, run->path());
        } catch (const PlatformError &) {
        }
    }
    modUnZip::ZipListText.clear();
    modUnZip::ZipMessageText.clear();

    if (outsideEntries() != before) {
        std::fprintf(stderr, "fuzz_zip_pages: something was written outside the run folder\n");
        std::abort();
    }
    return 0;
}
