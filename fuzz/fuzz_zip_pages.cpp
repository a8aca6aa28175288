// Archive chapters: the bytes as a zip chapter (libzip) and as a RAR one (libarchive, which
// takes 7z and zip too), whose pages are listed, read and extracted into this run's private
// folder as the page display does, and sized from their headers. A finding: anything beside the
// archive and that folder, or anything but page files in it. Password boxes are cancelled.
#include "FuzzTarget.h"
#include "archive/ZipPages.h"
#include "archive/modUnZip.h"
#include "platform/FileSystem.h"
#include "platform/PrivateRunFolder.h"
#include "platform/Prompts.h"

#include <QTemporaryDir>

namespace {

class CancelPrompts : public Prompts {
public:
    PromptResult message(const MessageRequest &) override { return PromptResult::Cancel; }
    InputAnswer input(const InputRequest &) override { return {}; }
};

// $TMPDIR of this process, with the archive and the run folder (removed first, at exit).
struct Folders {
    QTemporaryDir parent{QDir::tempPath() + "/pagora-fuzz-XXXXXX"};
    bool tmpdir = qputenv("TMPDIR", QFile::encodeName(parent.path()));
    PrivateRunFolder run;
    QStringList archives{parent.filePath("chapter.cbr"), parent.filePath("chapter.zip")};
    Folders()
    {
        require(tmpdir && parent.isValid() && run.isValid(), "no temporary folders");
        Prompts::install(std::make_unique<CancelPrompts>());
    }
};

} // namespace

void fuzzOne(const QByteArray &bytes)
{
    static const Folders f;
    for (const QString &archive : f.archives) {
        QFile file(archive);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                    && file.write(bytes) == bytes.size() && file.flush(),
                "cannot write the archive");
        modUnZip::ZipPasswordCancelled = 0; // every input meets the password box afresh
        FileSystem fs;
        const QStringList pages = listZipPages(archive);
        require(zipPageSizes(archive, pages).size() == pages.size(), "a size missing");
        for (const QString &page : pages) {
            readZipPage(archive, page);
            tolerating([&] { extractZipPage(fs, archive, page, f.run.path()); });
        }
    }
    modUnZip::ZipListText.clear();
    modUnZip::ZipMessageText.clear();

    const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    require(QDir(f.parent.path()).entryList(all)
                == QStringList{"chapter.cbr", "chapter.zip", QDir(f.run.path()).dirName()},
            "something was written beside the run folder");
    for (const QFileInfo &info : QDir(f.run.path()).entryInfoList(all))
        require(info.isFile() && !info.isSymLink()
                    && (info.fileName() == ".lock" || info.fileName().startsWith("TempImage.")),
                "something else than a page in the run folder");
}
