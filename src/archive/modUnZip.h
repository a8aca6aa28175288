#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

// Our archive component, on ZipArchive. It is driven like an unzip library:
// fill the request fields below, call RunUnzip; the answers come back through
// the four callbacks into ZipListText and ZipMessageText. A listing reports
// every member; an extraction writes each matching member under its bare name
// (the part after the last "/") into ZipExtractDir and never anywhere else.
// One request at a time, on the user-interface thread.
namespace modUnZip {

inline constexpr int ZipNameSlots = 100;

// Members larger than this are never extracted, whatever they declare, so a
// hostile archive cannot fill the disk.
inline constexpr qint64 ZipMemberSizeLimit = qint64(512) << 20;

// What the password callback may return.
inline constexpr int ZipPasswordGiven = 0;
inline constexpr int ZipPasswordDeclined = 1;

// The option record: fifteen switches, then the two paths, as single-byte
// (local 8-bit) strings. Switches marked "ignored" are accepted and have no
// effect in this component.
struct UnzipOptions {
    qint32 extractOnlyNewer = 0;         // 1  ignored
    qint32 spacesToUnderscores = 0;      // 2  ignored
    qint32 promptToOverwrite = 0;        // 3  ignored: existing files are always replaced
    qint32 quietLevel = 0;               // 4  ignored
    qint32 toStandardOutput = 0;         // 5  ignored
    qint32 testOnly = 0;                 // 6  ignored
    qint32 listMembers = 0;              // 7  1 = list, 0 = extract
    qint32 freshenOnly = 0;              // 8  ignored
    qint32 showComment = 0;              // 9  print the archive comment when listing
    qint32 keepPaths = 0;                // 10 ignored: members are always written by bare name
    qint32 overwriteAll = 0;             // 11 ignored, as if 1
    qint32 convertLineEnds = 0;          // 12 ignored
    qint32 zipInfoReport = 0;            // 13 ignored
    qint32 caseInsensitive = 0;          // 14 match name patterns without regard to case
    qint32 restoreSecurity = 0;          // 15 ignored
    const char *archivePath = nullptr;   // 16
    const char *extractFolder = nullptr; // 17
};

// Text crosses as bytes: UTF-8 for member names and messages, the local
// 8-bit encoding for paths (also UTF-8 on our systems).
using PrintFunction = int (*)(const char *text, unsigned long length);
using SoundFunction = void (*)();
using PasswordFunction = int (*)(char *buffer, int size, const char *prompt,
                                 const char *memberName);
using MemberFunction = void (*)(quint64 uncompressedSize, quint64 compressedSize,
                                int compressionPercent, int month, int day, int year, int hour,
                                int minute, char flag, const char *name, const char *method,
                                quint32 crc, char encrypted);
using ServiceFunction = int (*)(const char *name, quint64 size);

// The callback record: five functions, then totals the engine fills in. Any
// function may be null (a missing password one declines). There is no replace
// function: the extraction folder holds only the engine's own leftovers, which
// are always replaced.
struct UnzipCallbacks {
    PrintFunction print = nullptr;
    SoundFunction sound = nullptr;
    PasswordFunction password = nullptr;
    MemberFunction memberReport = nullptr;
    ServiceFunction service = nullptr;
    quint64 compressedTotal = 0;
    quint64 uncompressedTotal = 0;
    int compressionPercent = 0;
    quint32 memberCount = 0;
    quint16 commentLength = 0;
};

// What SingleEntryUnzip returns; RunUnzip drops it.
enum UnzipResult {
    UnzipOk = 0,
    UnzipWarning = 1,         // some member was skipped or damaged
    UnzipCannotOpen = 9,      // the archive is missing, unreadable or no zip
    UnzipNothingMatched = 11, // a pattern matched no member
    UnzipStopped = 80,        // the service callback asked to stop
};

// ---- module state ----------------------------------------------------------

extern QString ZipFileName;
extern QString ZipExtractDir;
extern std::array<std::optional<QString>, ZipNameSlots> ZipIncludeNames; // nullopt = absent
extern qint32 ZipIncludeCount;                                           // 0 = every member
extern std::array<std::optional<QString>, ZipNameSlots> ZipExcludeNames;
extern qint32 ZipExcludeCount;

// The fifteen options, one per field of the option record, in its order.
extern qint16 ZipExtractNewerFlag;
extern qint16 ZipSpaceToUnderscoreFlag;
extern qint16 ZipPromptOverwriteFlag;
extern qint16 ZipQuietFlag;
extern qint16 ZipStdoutFlag;
extern qint16 ZipTestFlag;
extern qint16 ZipListFlag;
extern qint16 ZipFreshenFlag;
extern qint16 ZipCommentFlag;
extern qint16 ZipKeepPathsFlag;
extern qint16 ZipOverwriteAllFlag;
extern qint16 ZipConvertLineEndsFlag;
extern qint16 ZipInfoFlag;
extern qint16 ZipCaseInsensitiveFlag;
extern qint16 ZipSecurityFlag;

extern QString ZipListText;         // member names of listings, each followed by a TAB
extern QString ZipMessageText;      // everything the engine printed since the last reset
extern qint16 ZipPasswordCancelled; // 1 once the user declined a password: no more boxes

// Filled anew at every run. The paths of the option record point into copies
// that live only during the run; afterwards they are null.
extern UnzipOptions ZipOptionRecord;
extern UnzipCallbacks ZipCallbackRecord;

// ---- requests --------------------------------------------------------------

// One request as the module state describes it. The engine's result is
// dropped; callers judge by ZipListText and by the files written.
void RunUnzip();

// The engine behind RunUnzip. includeNames/excludeNames hold ZipNameSlots
// entries (null = absent) of UTF-8 patterns: "?" any one character, "*" any
// run of characters, everything else itself.
int SingleEntryUnzip(qint32 includeCount, const char *const *includeNames, qint32 excludeCount,
                     const char *const *excludeNames, const UnzipOptions &options,
                     UnzipCallbacks &callbacks);

// Asks a password callback for the password of memberName, as an extraction
// does; nullopt when it declines or there is none.
std::optional<QByteArray> ZipAskPassword(PasswordFunction password, const QString &memberName);

// ---- callbacks (none lets an exception escape) -----------------------------

// Appends at most `length` bytes of text, stopping at a zero byte, to
// ZipMessageText; a chunk starting with a line feed becomes one CR LF.
int ZipPrintCallback(const char *text, unsigned long length) noexcept;
// Asks for a password into buffer (at most size - 1 bytes and a zero byte).
int ZipPasswordCallback(char *buffer, int size, const char *prompt,
                        const char *memberName) noexcept;
// Appends the member's name and a TAB to ZipListText.
void ZipMemberCallback(quint64 uncompressedSize, quint64 compressedSize, int compressionPercent,
                       int month, int day, int year, int hour, int minute, char flag,
                       const char *name, const char *method, quint32 crc, char encrypted) noexcept;
// Lets the engine go on with the next member.
int ZipServiceCallback(const char *name, quint64 size) noexcept;

} // namespace modUnZip
