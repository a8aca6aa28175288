#pragma once

#include "archive/ZipArchive.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// One archive chapter opened for reading, whatever its kind: the names of
// its members and the bytes of one member at a time. Zip chapters (".zip",
// ".cbz") are read with libzip, through ZipArchive; RAR and 7z chapters
// (".cbr", ".rar", ".cb7", ".7z") through libarchive.
//
// Threads: as ZipArchive, an instance belongs to one thread at a time.
class ChapterArchive {
public:
    virtual ~ChapterArchive() = default;

    // Opens path; false, with the reason set, when it can't be read.
    virtual bool open(const QString &path) = 0;
    // Every member's name as stored, in the archive's order. Only regular
    // files for the libarchive kinds, whose folder names need not end in "/".
    virtual QStringList memberNames() = 0;
    // The bytes of the member stored under exactly this name, or nullopt with
    // the reason set. Never more than sizeLimit bytes are taken into memory.
    // Only a zip member asks `ask` for a password; the other kinds never ask.
    virtual std::optional<QByteArray> read(const QString &memberName,
                                           const ZipArchive::PasswordPrompt &ask = {},
                                           qint64 sizeLimit = ZipArchive::MemberSizeLimit) = 0;
    // Page sizes are read from no more than this much of a member's start:
    // room for any header, metadata before a JPEG's frame included.
    static constexpr qint64 PageHeadBytes = 64 * 1024;
    // Most headers lie in this much: a member's start is read that far
    // first, and only on to PageHeadBytes when its header is not whole there.
    static constexpr qint64 FirstHeadBytes = 4 * 1024;
    // The pixel size each named member's header states (PageHeaders), in
    // the names' order, reading only the first PageHeadBytes of each. An
    // invalid size for a member that is missing, encrypted (no password is
    // ever asked) or unreadable, or whose header lies beyond that start.
    // This default knows no sizes; each kind reads them its own way.
    virtual QList<QSize> pageSizes(const QStringList &memberNames);
    // Why the last open or read failed, as one line for the archive message.
    virtual QString errorText() const = 0;

    // True for a path whose extension names a zip chapter (".zip", ".cbz"),
    // and for any extension not named below: libzip reads what it always read.
    static bool isZipKind(const QString &path);
    // The reader for path's kind, by its extension (case aside); not opened.
    static std::unique_ptr<ChapterArchive> forPath(const QString &path);
};

// True for a file name that makes an archive chapter: "*.zip", "*.cbz",
// "*.cbr", "*.rar", "*.cb7" or "*.7z", matched as a folder search matches a
// wildcard, without regard to case.
bool isChapterArchiveName(const QString &fileName);

// The pixel size a member's first bytes state (PageHeaders::sizeOf);
// invalid when they hold no whole header.
QSize pageSizeIn(const QByteArray &head);
