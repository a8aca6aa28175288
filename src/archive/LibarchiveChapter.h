#pragma once

#include "archive/ChapterArchive.h"

struct archive;
struct archive_entry;

// A RAR or 7z chapter read through libarchive. These formats are read from
// the start, member after member (a solid archive can be read no other way),
// so every listing and every read opens the file anew; members passed over
// are skipped, not unpacked, where the format allows it. Encrypted members
// are never asked a password for: they fail with libarchive's reason.
class LibarchiveChapter : public ChapterArchive {
public:
    bool open(const QString &path) override;
    QStringList memberNames() override;
    std::optional<QByteArray> read(const QString &memberName,
                                   const ZipArchive::PasswordPrompt &ask = {},
                                   qint64 sizeLimit = ZipArchive::MemberSizeLimit) override;
    // One pass over the archive, whatever the number of names.
    QList<QSize> pageSizes(const QStringList &memberNames) override;
    QString errorText() const override { return m_errorText; }

private:
    struct Closer {
        void operator()(archive *reader) const;
    };
    using Reader = std::unique_ptr<archive, Closer>;

    // A reader at the archive's start: the one open() made, or a new one.
    Reader start();
    bool fail(const QString &text);
    // The next member's header: End after the last, Failed (the error set)
    // when the archive cannot be read on.
    enum class Next { Entry, End, Failed };
    Next next(archive *reader, archive_entry *&entry);

    QString m_path;
    Reader m_opened;
    QString m_errorText;
};
