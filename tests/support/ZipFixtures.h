#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Zip archives for the tests, written at run time with libzip, plus a few
// byte patches for archives that libzip would never write.
namespace ZipFixtures {

struct Member {
    enum class Kind { File, Folder, Symlink };
    QByteArray name; // stored exactly as given: "../x.jpg" and "/abs.jpg" too
    QByteArray content;
    Kind kind = Kind::File;
    quint16 encryption = 0; // a ZIP_EM_* method; 0 = none
    QByteArray password;
};

// The content a plain member gets unless told otherwise: distinct per name
// and long enough to be deflated.
QByteArray pageBytes(const QByteArray &name);

Member file(const QByteArray &name);
Member file(const QByteArray &name, const QByteArray &content);
Member folder(const QByteArray &name); // a folder entry, name ending in "/"
// A Unix symbolic link (mode S_IFLNK in the external attributes) to target.
Member symlink(const QByteArray &name, const QByteArray &target);
// method: ZIP_EM_TRAD_PKWARE or ZIP_EM_AES_256.
Member encrypted(const QByteArray &name, quint16 method, const QByteArray &password);

// Plain members with their pageBytes, folder entries for names ending in "/".
QList<Member> members(const QList<QByteArray> &names);

// Writes the members in this order; no members gives an empty archive (only
// its end record). False, with a warning, when anything fails.
bool write(const QString &path, const QList<Member> &members);
bool writeBytes(const QString &path, const QByteArray &bytes);
// Makes a member declare another uncompressed size, in its local header and
// its central directory entry alike.
bool setDeclaredSize(const QString &path, const QByteArray &name, quint32 size);
// Garbles the middle of a member's stored data.
bool damageData(const QString &path, const QByteArray &name);
// A password other than `right` that traditional encryption's one check byte
// lets through when the member is opened; it then fails while being read.
// Empty when none was found.
QByteArray passwordPassingCheck(const QString &path, const QByteArray &name,
                                const QByteArray &right);

} // namespace ZipFixtures
