#include "imaging/PageImages.h"

#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <future>
#include <utility>

namespace {

// Decoded pages held beside the one shown: never more than this. It holds
// three 1600 x 2400 pages with room to spare, but only one 4000 x 6000
// page, so a reader of very large pages is not paid for in memory twice.
constexpr qint64 kMostBytes = qint64(160) * 1024 * 1024;
// Nor more than this many pages the size of the one shown.
constexpr int kMostPages = 3;
// Pages decoded at once: the machine's two cores decode while the window
// shows, so a burst of paging outruns a single decoder.
constexpr int kWorkers = 2;
static_assert(PageImages::MostFileBytesAhead * kWorkers <= kMostBytes);
// Shrinking for the next zoom steps waits this long after a page is shown.
// The window paints a few milliseconds after it is asked to (the platform
// gathers events first), and the shrink, spread over every core, would
// otherwise take them from that paint. Decoding ahead does not wait: while
// the reader pages fast, the next pages are needed sooner than that.
constexpr std::chrono::milliseconds kAfterPaint(10);

quint64 sizeKey(QSize size)
{
    return (quint64(quint32(size.width())) << 32) | quint32(size.height());
}

bool shrinks(const QImage &picture, QSize size)
{
    return size.isValid() && !size.isEmpty()
           && (size.width() < picture.width() || size.height() < picture.height());
}

QImage shrunk(const QImage &picture, QSize size)
{
    // Scaling down smoothly averages each target pixel over its area, so
    // fine line art keeps its weight instead of aliasing.
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// True when the picture is what decoding its page for `reduceTo` gives now,
// or, when fitting, that shrunk to the size it is shown at.
bool serves(const PagePicture &page, const ShownSize &reduceTo)
{
    if (!reduceTo)
        return page.image.size() == page.natural;
    const QSize shown = reduceTo(page.natural);
    const QSize decoded = page.reducible ? reducedDecodeSize(page.natural, shown) : page.natural;
    return page.image.size() == decoded || page.image.size() == shown;
}

} // namespace

PageSource PageSource::of(const QString &path, const QString &member)
{
    PageSource source;
    source.path = path;
    source.member = member;
    const QFileInfo info(path);
    if (info.isFile()) {
        source.size = info.size();
        source.modified = info.lastModified();
    }
    return source;
}

size_t qHash(const PageSource &source, size_t seed)
{
    return qHashMulti(seed, source.path, source.member, source.size);
}

// One page decoded on the worker. The worker writes the results, then sets
// `done`; the owner's thread reads them only after that.
struct PageImages::Job {
    PageSource source;
    Decoder decoder;
    SourceDisplaySize display;
    ShownSize reduceTo;
    PagePicture picture;
    QByteArray file;
    QSize size;
    QImage sized;
    bool ok = false;
    std::promise<void> done;
    std::shared_future<void> finished = done.get_future().share();

    void run()
    {
        try {
            picture = decoder(source, reduceTo, &file);
            ok = !picture.image.isNull();
            if (ok && display) {
                size = display(source, picture.natural);
                if (shrinks(picture.image, size))
                    sized = shrunk(picture.image, size);
            }
            // Fitted to the window, a page is shown at that one size until
            // the window changes: only the shrunk picture is kept.
            if (ok && reduceTo && !sized.isNull()) {
                picture.image = sized;
                sized = QImage();
            }
        } catch (...) {
            // Reported when the page is shown, as any page that fails.
            ok = false;
        }
        done.set_value();
    }
};

qint64 PageImages::Held::bytes() const
{
    qint64 total = page.image.sizeInBytes() + file.size();
    for (const QImage &image : sizes)
        total += image.sizeInBytes();
    return total;
}

PageImages::PageImages(QObject *parent) : QObject(parent), m_pool(new QThreadPool(this))
{
    m_pool->setMaxThreadCount(kWorkers);
}

PageImages::~PageImages()
{
    m_wanted.clear();
    m_pool->waitForDone();
}

std::optional<PagePicture> PageImages::find(const PageSource &source, const ShownSize &reduceTo)
{
    if (!source.isValid())
        return std::nullopt;
    if (source == m_shownSource && !m_shown.page.image.isNull())
        return serves(m_shown.page, reduceTo) ? std::optional(m_shown.page) : std::nullopt;
    for (const std::shared_ptr<Job> &job : std::as_const(m_running)) {
        if (job->source == source) {
            const std::shared_ptr<Job> running = job;
            running->finished.wait();
            finished(running);
            break;
        }
    }
    const auto held = m_ahead.constFind(source);
    if (held == m_ahead.cend() || !serves(held->page, reduceTo))
        return std::nullopt;
    return held->page;
}

QByteArray PageImages::fileOf(const PageSource &source) const
{
    if (source == m_shownSource)
        return m_shown.file;
    return m_ahead.value(source).file;
}

void PageImages::showing(const PageSource &source, const PagePicture &picture,
                         const QByteArray &file)
{
    if (!(source == m_shownSource)) {
        // The page shown before is kept like one decoded ahead: going back
        // to it is common.
        if (m_shownSource.isValid() && !m_shown.page.image.isNull())
            m_ahead.insert(m_shownSource, std::move(m_shown));
        m_shown = m_ahead.take(source);
        m_shownSource = source;
    }
    if (m_shown.page.image.cacheKey() != picture.image.cacheKey())
        m_shown = Held{picture, file, {}};
    trimTo(budget());
}

void PageImages::showingBeside(const PageSource &source, const PagePicture &picture,
                               const QByteArray &file)
{
    if (!source.isValid() || source == m_shownSource)
        return;
    const auto held = m_ahead.constFind(source);
    if (held == m_ahead.cend() || held->page.image.cacheKey() != picture.image.cacheKey())
        m_ahead.insert(source, Held{picture, file, {}});
    m_wanted.removeOne(source);
    m_wanted.prepend(source);
    trimTo(budget(), 1);
}

void PageImages::setPagesShown(int count)
{
    m_pagesShown = std::clamp(count, 1, 2);
}

QImage PageImages::atSize(const PageSource &source, const QImage &picture, QSize size)
{
    if (!shrinks(picture, size))
        return picture;
    Held *held = nullptr;
    if (source == m_shownSource && m_shown.page.image.cacheKey() == picture.cacheKey())
        held = &m_shown;
    else if (auto it = m_ahead.find(source);
             it != m_ahead.end() && it->page.image.cacheKey() == picture.cacheKey())
        held = &*it;
    if (held == &m_shown)
        m_shownSize = size;
    if (held) {
        if (const auto it = held->sizes.constFind(sizeKey(size)); it != held->sizes.cend())
            return *it;
    }
    QImage result = shrunk(picture, size);
    if (held) {
        // One display size at a time: a resize makes the others useless.
        held->sizes.clear();
        held->sizes.insert(sizeKey(size), result);
    }
    return result;
}

void PageImages::prepareSizes(const PageSource &source, const QList<QSize> &sizes)
{
    if (!(source == m_shownSource) || m_shown.page.image.isNull())
        return;
    const QImage picture = m_shown.page.image;
    QList<QSize> wanted;
    for (const QSize size : sizes)
        if (shrinks(picture, size) && !m_shown.sizes.contains(sizeKey(size)))
            wanted << size;
    if (wanted.isEmpty())
        return;
    QTimer::singleShot(kAfterPaint, this,
                       [this, source, picture, wanted] { shrinkAhead(source, picture, wanted); });
}

void PageImages::shrinkAhead(const PageSource &source, const QImage &picture,
                             const QList<QSize> &sizes)
{
    // Before pages decoded ahead: the reader may zoom any moment.
    constexpr int beforeDecoding = 1;
    m_pool->start(
        [this, source, picture, sizes] {
            QHash<quint64, QImage> made;
            for (const QSize size : sizes)
                made.insert(sizeKey(size), shrunk(picture, size));
            QMetaObject::invokeMethod(
                this, [this, source, picture, made] { keepSizes(source, picture, made); },
                Qt::QueuedConnection);
        },
        beforeDecoding);
}

void PageImages::keepSizes(const PageSource &source, const QImage &picture,
                           const QHash<quint64, QImage> &made)
{
    if (!(source == m_shownSource) || m_shown.page.image.cacheKey() != picture.cacheKey())
        return; // another page is shown by now
    QHash<quint64, QImage> kept = made;
    if (const auto shown = m_shown.sizes.constFind(sizeKey(m_shownSize));
        shown != m_shown.sizes.cend())
        kept.insert(shown.key(), shown.value());
    m_shown.sizes = kept;
}

void PageImages::decodeAhead(const QList<PageSource> &sources, Decoder decoder, DisplaySize display,
                             ShownSize reduceTo)
{
    SourceDisplaySize bySize;
    if (display)
        bySize = [display = std::move(display)](const PageSource &, QSize natural) {
            return display(natural);
        };
    decodeAhead(sources, std::move(decoder), std::move(bySize), std::move(reduceTo));
}

void PageImages::decodeAhead(const QList<PageSource> &sources, Decoder decoder,
                             SourceDisplaySize display, ShownSize reduceTo)
{
    const QList<PageSource> before = std::exchange(m_wanted, {});
    for (const PageSource &source : sources)
        if (source.isValid() && !(source == m_shownSource) && !m_wanted.contains(source))
            m_wanted.append(source);
    // A redisplay of the same page (a resize, a zoom step) wants the same
    // pages: what was let go for room then still does not fit.
    if (m_wanted != before)
        m_noRoom.clear();
    m_decoder = std::move(decoder);
    m_display = std::move(display);
    m_reduceTo = std::move(reduceTo);
    for (auto it = m_ahead.begin(); it != m_ahead.end();)
        it = serves(it->page, m_reduceTo) ? std::next(it) : m_ahead.erase(it);
    trimTo(budget());
    startSoon();
}

void PageImages::startSoon()
{
    // From the event queue, once ShowPage has done all it does for the page
    // just shown, rather than in the middle of it.
    if (m_startPending)
        return;
    m_startPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_startPending = false;
            startNext();
        },
        Qt::QueuedConnection);
}

void PageImages::dropAhead()
{
    m_wanted.clear();
    m_noRoom.clear();
    m_ahead.clear();
    m_failed.clear();
}

qint64 PageImages::bytesHeld() const
{
    qint64 total = 0;
    for (const Held &held : m_ahead)
        total += held.bytes();
    return total;
}

qint64 PageImages::budget() const
{
    // Pages the size of the one shown, with the bytes an archive page was
    // read from (reckoned the same way for a page ahead, so that the
    // budget's pages do fit it).
    return std::min(kMostBytes, kMostPages * m_pagesShown
                                    * (m_shown.page.image.sizeInBytes() + m_shown.file.size()));
}

bool PageImages::busy() const
{
    return m_startPending || !m_running.isEmpty();
}

void PageImages::startNext()
{
    if (!m_decoder)
        return;
    while (m_running.size() < kWorkers) {
        const auto running = [this](const PageSource &s) {
            return std::any_of(m_running.cbegin(), m_running.cend(),
                               [&s](const std::shared_ptr<Job> &job) { return job->source == s; });
        };
        const auto next = std::find_if(m_wanted.cbegin(), m_wanted.cend(),
                                       [&](const PageSource &s) {
                                           return !m_ahead.contains(s) && !m_failed.contains(s)
                                                  && !m_noRoom.contains(s) && !running(s);
                                       });
        if (next == m_wanted.cend())
            return;
        // Room for the pages under way and one more, made by letting go of
        // pages that are wanted less.
        const qint64 room = budget() - pageBytes() * (m_running.size() + 1);
        trimTo(room, next - m_wanted.cbegin() + 1);
        if (bytesHeld() > room)
            return;
        auto job = std::make_shared<Job>();
        job->source = *next;
        job->decoder = m_decoder;
        job->display = m_display;
        job->reduceTo = m_reduceTo;
        m_running.append(job);
        m_pool->start([this, job] {
            job->run();
            QMetaObject::invokeMethod(
                this, [this, job] { finished(job); }, Qt::QueuedConnection);
        });
    }
}

void PageImages::finished(const std::shared_ptr<Job> &job)
{
    if (!m_running.removeOne(job))
        return; // already taken by find()
    if (!job->ok)
        m_failed.insert(job->source); // not tried again ahead; shown, it fails as usual
    if (job->ok && m_wanted.contains(job->source) && !(job->source == m_shownSource)
        && serves(job->picture, m_reduceTo)) {
        Held held{job->picture, job->file, {}};
        if (!job->sized.isNull())
            held.sizes.insert(sizeKey(job->size), job->sized);
        m_ahead.insert(job->source, std::move(held));
        trimTo(budget());
    }
    startNext();
}

void PageImages::trimTo(qint64 limit, qsizetype keepFirst)
{
    // Pages no longer wanted go first, then the wanted ones from the last,
    // but never the first `keepFirst` of them.
    for (auto it = m_ahead.begin(); it != m_ahead.end() && bytesHeld() > limit;) {
        if (!m_wanted.contains(it.key()))
            it = m_ahead.erase(it);
        else
            ++it;
    }
    // What is let go is not decoded again until the reader moves on, so no
    // two pages push each other out over and over.
    for (qsizetype i = m_wanted.size() - 1; i >= keepFirst && bytesHeld() > limit; --i)
        if (m_ahead.remove(m_wanted[i]))
            m_noRoom.insert(m_wanted[i]);
}

qint64 PageImages::pageBytes() const
{
    const QImage &picture = m_shown.page.image;
    qint64 bytes = picture.sizeInBytes() + m_shown.file.size();
    if (m_display) {
        const QSize size = m_display(m_shownSource, m_shown.page.natural);
        if (shrinks(picture, size))
            bytes += qint64(size.width()) * size.height() * picture.depth() / 8;
    }
    return bytes;
}
