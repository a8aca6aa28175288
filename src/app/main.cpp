#include "app/frmMain.h"
#include "platform/LocalTime.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "Usage: pagora-viewer [OPTION] [FOLDER]\n"
                      "Read a comic series: a folder whose chapters are sub-folders or .zip\n"
                      "archives of page images.\n"
                      "Chapters may also be .cbz, .cbr, .cb7, .rar or .7z archives.\n"
                      "\n"
                      "With FOLDER, the reader starts as usual and then opens FOLDER as if it\n"
                      "had been typed into the folder box, at the position saved for it.\n"
                      "\n"
                      "Also:\n"
                      "  WebP pages (.webp) are read in folder and archive chapters.\n"
                      "  The mouse wheel scrolls the page; with Shift held, sideways.\n"
                      "  F11 or View > Full Screen toggles full screen; Esc leaves it.\n"
                      "  A folder or archive chapter dropped on the window opens it.\n"
                      "  View > Fit Width / Fit Height fit the page to the window's width or\n"
                      "  height. View > Two Pages shows facing pages side by side, and\n"
                      "  View > Right To Left puts the first of them on the right; both are\n"
                      "  remembered for each series folder.\n"
                      "\n"
                      "  --help       show this help and exit\n"
                      "  --version    show the version and exit\n";

} // namespace

int main(int argc, char **argv)
{
    // Answer --help and --version before any display is needed.
    const char *folder = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pagora-viewer %s\n", PAGORA_VERSION);
            return 0;
        }
        if (argv[i][0] == '-' || folder) {
            std::fprintf(stderr, "pagora-viewer: unexpected argument '%s'\n\n%s", argv[i], kUsage);
            return 2;
        }
        folder = argv[i];
    }

    pinLocalTimeZone();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pagora-viewer"));
    QApplication::setApplicationVersion(QStringLiteral(PAGORA_VERSION));
    // No application display name: Qt would append it to every other
    // window's title, and each window's title must show as it is given.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pagora-viewer.png")));

    frmMain window;
    if (folder)
        window.OpenFolderAfterStartup(QFileInfo(QFile::decodeName(folder)).absoluteFilePath());
    window.show();
    return app.exec();
}
