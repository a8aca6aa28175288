#include "archive/ChapterArchive.h"

#include "archive/LibarchiveChapter.h"
#include "imaging/PageHeaders.h"
#include "platform/Wildcard.h"

#include <QBuffer>

#include <algorithm>

namespace {

const QStringList ZipExtensions{QStringLiteral("zip"), QStringLiteral("cbz")};
const QStringList LibarchiveExtensions{QStringLiteral("cbr"), QStringLiteral("rar"),
                                       QStringLiteral("cb7"), QStringLiteral("7z")};

QString extensionOf(const QString &path)
{
    const QString bare = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = bare.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : bare.mid(dot + 1).toLower();
}

// A zip chapter on ZipArchive, as it has always been read.
class ZipChapter : public ChapterArchive {
public:
    bool open(const QString &path) override
    {
        m_errorText.clear();
        if (m_archive.open(path))
            return true;
        m_errorText = m_archive.errorText();
        return false;
    }

    QStringList memberNames() override
    {
        QStringList names;
        for (qint64 i = 0; i < m_archive.memberCount(); ++i)
            if (const std::optional<ZipMemberInfo> member = m_archive.memberInfo(i))
                names.append(QString::fromUtf8(member->name));
        return names;
    }

    std::optional<QByteArray> read(const QString &memberName, const ZipArchive::PasswordPrompt &ask,
                                   qint64 sizeLimit) override
    {
        const qint64 index = m_archive.indexOf(memberName);
        if (index < 0) {
            m_errorText = QStringLiteral("caution: no member matches %1").arg(memberName);
            return std::nullopt;
        }
        std::optional<QByteArray> bytes = m_archive.read(index, ask, sizeLimit);
        m_errorText = bytes ? QString() : m_archive.errorText();
        return bytes;
    }

    // Members are found by name and read in part, each on its own.
    QList<QSize> pageSizes(const QStringList &memberNames) override
    {
        QList<QSize> sizes;
        sizes.reserve(memberNames.size());
        for (const QString &name : memberNames) {
            const qint64 index = m_archive.indexOf(name);
            QSize size;
            for (const qint64 length : {FirstHeadBytes, PageHeadBytes}) {
                const std::optional<QByteArray> head = index < 0
                                                           ? std::nullopt
                                                           : m_archive.readStart(index, length);
                size = head ? pageSizeIn(*head) : QSize();
                if (size.isValid() || !head || head->size() < length)
                    break;
            }
            sizes.append(size);
        }
        return sizes;
    }

    QString errorText() const override { return m_errorText; }

private:
    ZipArchive m_archive;
    QString m_errorText;
};

} // namespace

QList<QSize> ChapterArchive::pageSizes(const QStringList &memberNames)
{
    return QList<QSize>(memberNames.size());
}

QSize pageSizeIn(const QByteArray &head)
{
    QBuffer buffer;
    buffer.setData(head);
    buffer.open(QIODevice::ReadOnly);
    return PageHeaders::sizeOf(buffer);
}

bool ChapterArchive::isZipKind(const QString &path)
{
    return !LibarchiveExtensions.contains(extensionOf(path));
}

std::unique_ptr<ChapterArchive> ChapterArchive::forPath(const QString &path)
{
    if (isZipKind(path))
        return std::make_unique<ZipChapter>();
    return std::make_unique<LibarchiveChapter>();
}

bool isChapterArchiveName(const QString &fileName)
{
    static const QList<QRegularExpression> patterns = [] {
        QList<QRegularExpression> made;
        for (const QString &extension : ZipExtensions + LibarchiveExtensions)
            made.append(wildcardExpression(QStringLiteral("*.") + extension, Qt::CaseInsensitive));
        return made;
    }();
    return std::any_of(patterns.cbegin(), patterns.cend(), [&](const QRegularExpression &pattern) {
        return pattern.match(fileName).hasMatch();
    });
}
