#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Zip archives for the tests, written at run time with libzip, plus a few
// byte patches for archives that libzip would never write.
namespace ZipFixtures {

struct Member {
    enum class Kind { File, Folder, Symlink };
    QByteArray name; // stored exactly as given: "../x.jpg" and "/abs.jpg" too
    QByteArray content;
    Kind kind = Kind::File;
    quint16 encryption = 0; // ZIP_EM_TRAD_PKWARE, ZIP_EM_AES_256; 0 = none
    QByteArray password;
};

// A plain member's content unless told: distinct per name, long enough to deflate.
QByteArray pageBytes(const QByteArray &name);

Member file(const QByteArray &name, const QByteArray &content = {}); // null: its pageBytes
Member folder(const QByteArray &name); // a folder entry, name ending in "/"
Member symlink(const QByteArray &name, const QByteArray &target); // a Unix symbolic link
Member encrypted(const QByteArray &name, quint16 method, const QByteArray &password);
// Plain members with their pageBytes, folder entries for names ending in "/".
QList<Member> members(const QList<QByteArray> &names);

// Writes the members in order (none: only an end record); false with a warning on failure.
bool write(const QString &path, const QList<Member> &members);
bool writeBytes(const QString &path, const QByteArray &bytes);
// Makes a member declare another uncompressed size or, without one, garbles its data. Its
// name must not occur in the data of members before it.
bool patch(const QString &path, const QByteArray &name, std::optional<quint32> size);
// A password but `right` that passes the one check byte of traditional
// encryption on opening, so the member fails while being read; or empty.
QByteArray passwordPassingCheck(const QString &path, const QByteArray &name,
                                const QByteArray &right);

} // namespace ZipFixtures
