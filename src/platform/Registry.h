#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The system registry, read only: keys under a few roots, each key holding
// named values of a type and some bytes. No program keeps keys there on
// Linux, so the layer holds none unless a test injects some.
namespace RegistryRoot {
inline constexpr qint32 ClassesRoot = qint32(0x80000000u);
inline constexpr qint32 CurrentUser = qint32(0x80000001u);
inline constexpr qint32 LocalMachine = qint32(0x80000002u);
inline constexpr qint32 Users = qint32(0x80000003u);
} // namespace RegistryRoot

namespace RegistryType {
inline constexpr qint32 Text = 1;   // text, usually stored with its closing zero byte
inline constexpr qint32 Binary = 3;
inline constexpr qint32 Number = 4; // 32-bit number, least significant byte first
} // namespace RegistryType

namespace RegistryStatus {
inline constexpr qint32 Success = 0;
inline constexpr qint32 FileNotFound = 2; // no such key or value
inline constexpr qint32 InvalidHandle = 6;
inline constexpr qint32 MoreData = 234; // the value does not fit the buffer
} // namespace RegistryStatus

// One value as a test puts it in place. Key paths use "\" between their
// parts; key and value names match without regard to case.
struct RegistryValue {
    qint32 root = RegistryRoot::LocalMachine;
    QString keyName;
    QString valueName;
    qint32 type = RegistryType::Text;
    QByteArray data;
};

namespace Registry {

// Opens a key (an empty name opens the root itself); on success key receives
// its handle. The access asked for is accepted as it is: nothing can change.
qint32 openKey(qint32 root, const QString &keyName, qint32 access, qint32 &key);

// Reads a value of an open key. On entry data's size is the buffer's; on
// success data holds exactly the value's bytes. A value longer than the
// buffer gives MoreData and leaves data alone.
qint32 queryValue(qint32 key, const QString &valueName, qint32 &type, QByteArray &data);

qint32 closeKey(qint32 key);

// Replaces every key and value (tests); an empty list restores the Linux
// registry, which has none. Handles still open become invalid.
void setInjectedValues(const QList<RegistryValue> &values);

// Keys opened and not yet closed.
int openKeyCount();

} // namespace Registry
