#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>

#include "imaging/PictureLoader.h"

#include <functional>
#include <memory>
#include <optional>

class QThreadPool;

// A page as it is read: a folder page by its file, an archive page by the
// archive and the member's name; with the size and time of that file, so a
// page replaced on disk is read again.
struct PageSource {
    QString path;   // the page file, or the archive
    QString member; // empty for a folder page
    qint64 size = -1;
    QDateTime modified;

    // The source as the file is now; not valid when it is no regular file.
    static PageSource of(const QString &path, const QString &member = QString());
    bool isValid() const { return size >= 0; }
    bool operator==(const PageSource &other) const = default;
};
size_t qHash(const PageSource &source, size_t seed = 0);

// The pictures of the pages: the one shown, and the ones decoded ahead on
// worker threads (one for each core), bounded in bytes. The window asks here first and decodes a
// page itself only when it is not held. Pictures shown smaller than their
// natural size are shrunk once per page and size, by area averaging.
//
// Everything but the decoder runs on the thread that owns the object; the
// decoder runs on the worker and must touch nothing else (no widgets, no
// settings, no boxes). A page that fails ahead of time is simply not held,
// so it fails again, as usual, when it is shown.
class PageImages : public QObject {
    Q_OBJECT
public:
    // An archive member larger than this is not read ahead: two of them
    // read at once would take more than every page held together.
    static constexpr qint64 MostFileBytesAhead = qint64(80) * 1024 * 1024;

    // Decodes a page on the worker, reduced as LoadPage() reduces it for
    // `reduceTo`; throws on failure. It may hand back the bytes the page was
    // read from (an archive page's), held with it.
    using Decoder =
        std::function<PagePicture(const PageSource &, const ShownSize &reduceTo, QByteArray *file)>;
    // The size a page of the given natural pixel size is shown at.
    using DisplaySize = ShownSize;
    // The same for pages whose display size depends on more than their own
    // size (a page shown beside another).
    using SourceDisplaySize = std::function<QSize(const PageSource &, QSize natural)>;

    explicit PageImages(QObject *parent = nullptr);
    ~PageImages() override;

    // The page's picture if it is held or being decoded ahead, and is what
    // decoding it now for `reduceTo` would give (a page decoded at a reduced
    // scale serves only the shrunk display it was decoded for); for a page
    // under way, waits for the worker, which is sooner than starting anew.
    std::optional<PagePicture> find(const PageSource &source, const ShownSize &reduceTo = {});

    // The bytes the held page was read from, when the decoder gave them.
    QByteArray fileOf(const PageSource &source) const;

    // The page now shown: held until another is shown, outside the budget.
    void showing(const PageSource &source, const PagePicture &picture,
                 const QByteArray &file = QByteArray());
    const PageSource &shownSource() const { return m_shownSource; }
    // A second page shown beside the one shown: held first among the pages
    // ahead, and, like them, kept until it is no longer wanted.
    void showingBeside(const PageSource &source, const PagePicture &picture,
                       const QByteArray &file = QByteArray());
    // How many pages are shown at once (1 or 2): the budget holds as many
    // times more pages ahead.
    void setPagesShown(int count);

    // The picture at `size`: shrunk by area averaging when smaller than its
    // natural size (made once per page and size), otherwise the picture.
    QImage atSize(const PageSource &source, const QImage &picture, QSize size);

    // Shrinks the page shown to these sizes on a worker, for the displays
    // likely next (a zoom step either way), so that atSize() finds them made.
    // Only the latest sizes asked for are kept, beside the one shown.
    void prepareSizes(const PageSource &source, const QList<QSize> &sizes);

    // Decodes these pages ahead, in this order, as far as the budget lets,
    // reduced for `reduceTo` and shrunk ahead to `display`; what was asked
    // for before and is not asked for again, or was decoded for another
    // reduction, is dropped.
    void decodeAhead(const QList<PageSource> &sources, Decoder decoder, DisplaySize display,
                     ShownSize reduceTo = {});
    void decodeAhead(const QList<PageSource> &sources, Decoder decoder, SourceDisplaySize display,
                     ShownSize reduceTo = {});

    // Drops all work ahead and everything held but the page shown (a new
    // chapter or folder).
    void dropAhead();

    // Bytes of pictures held beside the page shown, and the most that may be.
    qint64 bytesHeld() const;
    qint64 budget() const;
    // True while a worker has work, or is about to (for tests).
    bool busy() const;

private:
    struct Held {
        PagePicture page;
        QByteArray file;
        QHash<quint64, QImage> sizes; // shrunk copies by (width << 32 | height)
        qint64 bytes() const;
    };
    struct Job;

    void startNext();
    void startSoon();
    void shrinkAhead(const PageSource &source, const QImage &picture, const QList<QSize> &sizes);
    void keepSizes(const PageSource &source, const QImage &picture,
                   const QHash<quint64, QImage> &made);
    void finished(const std::shared_ptr<Job> &job);
    void trimTo(qint64 limit, qsizetype keepFirst = 0);
    // What a page decoded ahead is reckoned to take: a picture the size of
    // the one shown, and its copy shrunk for display.
    qint64 pageBytes() const;

    QThreadPool *m_pool;
    PageSource m_shownSource;
    Held m_shown;
    QSize m_shownSize; // the size the page shown was last asked for at
    QHash<PageSource, Held> m_ahead;
    QList<PageSource> m_wanted;
    QSet<PageSource> m_failed;
    QSet<PageSource> m_noRoom; // decoded, then let go for want of room
    Decoder m_decoder;
    SourceDisplaySize m_display;
    int m_pagesShown = 1;
    ShownSize m_reduceTo;
    QList<std::shared_ptr<Job>> m_running;
    bool m_startPending = false;
};
