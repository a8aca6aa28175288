#pragma once

#include <QString>
#include <QStringList>

class FileSystem;

// The page lists and page extraction of archive chapters, on modUnZip. The
// main window's BuildZipPageList and ExtractZipPage are thin wrappers.

// text with, for each pair of characters of pairs in turn, every occurrence of
// the pair's first character replaced by its second (case-sensitive). An odd
// last character of pairs is ignored.
QString ReplaceChars(const QString &text, const QString &pairs);

// The pages among a listing's names (each followed by a TAB): names with a
// "." that are not folder entries, at most 32,767 (the first met), in name
// order.
QStringList zipPageNames(const QString &listText);

// Lists the archive through modUnZip and returns its pages; an archive that
// can't be read has none (its message is then in modUnZip::ZipMessageText).
QStringList listZipPages(const QString &archivePath);

// Extracts memberName from the archive into appFolder (the private run
// folder, with or without a trailing "/") and moves it to "TempImage." + ext
// there, replacing an earlier file of that name. Returns ext (up to three
// characters after the first "." of the member's bare name), or "" when the
// member was not produced. File-operation errors propagate as PlatformError.
QString extractZipPage(FileSystem &fs, const QString &archivePath, const QString &memberName,
                       const QString &appFolder);
