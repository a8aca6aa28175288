#pragma once

#include "archive/ZipArchive.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class FileSystem;

// The page lists and page extraction of archive chapters, on modUnZip. The
// main window's BuildZipPageList and ExtractZipPage are thin wrappers.

// Every function here takes any archive chapter: a zip one (".zip", ".cbz")
// through modUnZip and ZipArchive, a RAR or 7z one through ChapterArchive.

// The pages among a listing's names (each followed by a TAB): names with a
// "." that are not folder entries, at most 32,767 (the first met), in name
// order.
QStringList zipPageNames(const QString &listText);

// Lists the archive (a zip one through modUnZip) and returns its pages; an
// archive that can't be read has none (its message is then in
// modUnZip::ZipMessageText).
QStringList listZipPages(const QString &archivePath);

// Reads the member stored under exactly memberName into memory for
// decoding. An encrypted zip member whose password is not yet known asks `ask`;
// with a null one it fails without asking anybody, so a worker thread may
// call this (it opens its own archive and touches no shared state but the
// remembered passwords). On failure *message, when given, gets the line the
// archive message shows.
std::optional<QByteArray> readZipPage(const QString &archivePath, const QString &memberName,
                                      const ZipArchive::PasswordPrompt &ask = {},
                                      QString *message = nullptr,
                                      qint64 sizeLimit = ZipArchive::MemberSizeLimit);

// The pixel size of each named member's page, in the names' order, from
// the start of each member alone (ChapterArchive::pageSizes); all invalid
// when the archive can't be opened. Never asks for a password and touches
// no shared state, so a worker thread may call it.
QList<QSize> zipPageSizes(const QString &archivePath, const QStringList &memberNames);

// Reads memberName from the archive as the page display does (a password is
// asked through modUnZip's password callback, failures go to
// modUnZip::ZipMessageText) and leaves its bytes in appFolder (the private
// run folder, with or without a trailing "/") as "TempImage." + ext,
// replacing an earlier file of that name. Returns ext (up to three characters
// after the last "." of the member's bare name), or "" when the member could
// not be read or has no extension; pageBytes, when given, gets the bytes
// read. File-operation errors propagate as PlatformError.
QString extractZipPage(FileSystem &fs, const QString &archivePath, const QString &memberName,
                       const QString &appFolder, QByteArray *pageBytes = nullptr);

// The extension of an archive page's temporary file: up to three characters
// after the last "." of the member's bare name; "" when it has none.
QString zipPageExtension(const QString &memberName);

// The second half of extractZipPage: removes the page file of memberName's
// extension from appFolder and, when bytes are given, writes them there.
// Returns ext as extractZipPage does ("" when there were no bytes); a write
// that fails says so in modUnZip::ZipMessageText.
QString leaveZipPageFile(FileSystem &fs, const QString &memberName, const QString &appFolder,
                         const QByteArray *bytes);

// Adds one line to the archive message, as the extraction engine prints it.
void sayInZipMessage(const QString &line);
