#include "archive/modUnZip.h"

#include "platform/Prompts.h"

#include <QByteArray>
#include <QFile>

#include <cstring>
#include <vector>

namespace modUnZip {

QString ZipFileName;
QString ZipExtractDir;
std::array<std::optional<QString>, ZipNameSlots> ZipIncludeNames;
qint32 ZipIncludeCount = 0;
std::array<std::optional<QString>, ZipNameSlots> ZipExcludeNames;
qint32 ZipExcludeCount = 0;

qint16 ZipExtractNewerFlag = 0;
qint16 ZipSpaceToUnderscoreFlag = 0;
qint16 ZipPromptOverwriteFlag = 0;
qint16 ZipQuietFlag = 0;
qint16 ZipStdoutFlag = 0;
qint16 ZipTestFlag = 0;
qint16 ZipListFlag = 0;
qint16 ZipFreshenFlag = 0;
qint16 ZipCommentFlag = 0;
qint16 ZipKeepPathsFlag = 0;
qint16 ZipOverwriteAllFlag = 0;
qint16 ZipConvertLineEndsFlag = 0;
qint16 ZipInfoFlag = 0;
qint16 ZipCaseInsensitiveFlag = 0;
qint16 ZipSecurityFlag = 0;

QString ZipListText;
QString ZipMessageText;
qint16 ZipPasswordCancelled = 0;

UnzipOptions ZipOptionRecord;
UnzipCallbacks ZipCallbackRecord;

namespace {

// The most one print call may add, as the callers of old expected.
constexpr unsigned long MaxPrintBytes = 32801;
// The most a password may hold, whatever the buffer.
constexpr int MaxPasswordBytes = 256;

// Bytes up to the first zero byte, at most `limit` of them.
QByteArray bytesOf(const char *text, std::size_t limit)
{
    if (!text)
        return {};
    const void *zero = std::memchr(text, 0, limit);
    return QByteArray(text, zero ? static_cast<const char *>(zero) - text : qsizetype(limit));
}

QByteArray bytesOf(const char *text)
{
    return text ? QByteArray(text) : QByteArray();
}

// The names of a request as the engine takes them: byte copies that must
// outlive the call, and the table of pointers into them.
struct NameTable {
    std::vector<QByteArray> copies;
    std::array<const char *, ZipNameSlots> pointers{};

    explicit NameTable(const std::array<std::optional<QString>, ZipNameSlots> &names)
    {
        copies.reserve(ZipNameSlots);
        for (int i = 0; i < ZipNameSlots; ++i) {
            if (names[i]) {
                copies.push_back(names[i]->toUtf8());
                pointers[i] = copies.back().constData();
            }
        }
    }
};

} // namespace

void RunUnzip()
{
    UnzipOptions &o = ZipOptionRecord;
    o.extractOnlyNewer = ZipExtractNewerFlag;
    o.spacesToUnderscores = ZipSpaceToUnderscoreFlag;
    o.promptToOverwrite = ZipPromptOverwriteFlag;
    o.quietLevel = ZipQuietFlag;
    o.toStandardOutput = ZipStdoutFlag;
    o.testOnly = ZipTestFlag;
    o.listMembers = ZipListFlag;
    o.freshenOnly = ZipFreshenFlag;
    o.showComment = ZipCommentFlag;
    o.keepPaths = ZipKeepPathsFlag;
    o.overwriteAll = ZipOverwriteAllFlag;
    o.convertLineEnds = ZipConvertLineEndsFlag;
    o.zipInfoReport = ZipInfoFlag;
    o.caseInsensitive = ZipCaseInsensitiveFlag;
    o.restoreSecurity = ZipSecurityFlag;
    const QByteArray archivePath = QFile::encodeName(ZipFileName);
    const QByteArray extractFolder = QFile::encodeName(ZipExtractDir);
    o.archivePath = archivePath.constData();
    o.extractFolder = extractFolder.constData();

    ZipCallbackRecord = UnzipCallbacks{};
    ZipCallbackRecord.print = ZipPrintCallback;
    ZipCallbackRecord.sound = nullptr;
    ZipCallbackRecord.password = ZipPasswordCallback;
    ZipCallbackRecord.memberReport = ZipMemberCallback;
    ZipCallbackRecord.service = ZipServiceCallback;

    const NameTable include(ZipIncludeNames);
    const NameTable exclude(ZipExcludeNames);
    // Work on copies: a callback may touch the module state while the engine runs.
    UnzipOptions options = o;
    UnzipCallbacks callbacks = ZipCallbackRecord;
    SingleEntryUnzip(ZipIncludeCount, include.pointers.data(), ZipExcludeCount,
                     exclude.pointers.data(), options, callbacks);
    options.archivePath = nullptr;
    options.extractFolder = nullptr;
    ZipOptionRecord = options;
    ZipCallbackRecord = callbacks;
}

int ZipPrintCallback(const char *text, unsigned long length) noexcept
{
    try {
        QString chunk = QString::fromUtf8(bytesOf(text, qMin(length, MaxPrintBytes)));
        if (chunk.startsWith(QLatin1Char('\n')))
            chunk = QStringLiteral("\r\n");
        ZipMessageText += chunk;
    } catch (...) {
    }
    return 0;
}

int ZipPasswordCallback(char *buffer, int size, const char *, const char *) noexcept
{
    if (ZipPasswordCancelled == 1)
        return ZipPasswordDeclined;
    try {
        const InputAnswer answer = Prompts::current().input(
            {QStringLiteral("Please Enter The Password!"), programTitle(), QString()});
        if (answer.text.isEmpty()) {
            ZipPasswordCancelled = 1;
            return ZipPasswordDeclined;
        }
        if (buffer && size > 0) {
            std::memset(buffer, 0, std::size_t(size));
            const QByteArray bytes = answer.text.toUtf8();
            qsizetype cut = qMin<qsizetype>(bytes.size(), qMin(size - 1, MaxPasswordBytes));
            // Never split a character: back off to the start of the one cut through.
            while (cut > 0 && cut < bytes.size() && (uchar(bytes[cut]) & 0xC0) == 0x80)
                --cut;
            std::memcpy(buffer, bytes.constData(), std::size_t(cut));
        }
    } catch (...) {
        // No answer could be had: declining is the only safe reply.
        return ZipPasswordDeclined;
    }
    return ZipPasswordGiven;
}

void ZipMemberCallback(quint64, quint64, int, int, int, int, int, int, char, const char *name,
                       const char *, quint32, char) noexcept
{
    try {
        // The whole stored name: a long one must still list and extract. A
        // name holding a TAB would come out of the list as other names, ones
        // the archive does not hold: it is left out.
        const QString member = QString::fromUtf8(bytesOf(name));
        if (!member.contains(QLatin1Char('\t')))
            ZipListText += member + QLatin1Char('\t');
    } catch (...) {
    }
}

int ZipServiceCallback(const char *, quint64) noexcept
{
    return 0;
}

} // namespace modUnZip
