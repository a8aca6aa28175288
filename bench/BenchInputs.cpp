#include "BenchInputs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

#include <zip.h>

namespace BenchInputs {

namespace {

// Bump the number when the inputs change, so older ones are written again.
const QString kStamp = QStringLiteral("inputs-ready-1");
constexpr int kJpegQuality = 90;

// Small, fast and the same everywhere: the pages must not depend on the
// standard library's generators.
class Random {
public:
    explicit Random(quint32 seed) : m_state(seed ? seed : 0x9E3779B9u) {}
    quint32 next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    double uniform(double low, double high) { return low + (high - low) * (next() / 4294967296.0); }
    int below(int n) { return int(next() % quint32(n)); }

private:
    quint32 m_state;
};

bool complain(const QString &what)
{
    std::fprintf(stderr, "bench inputs: %s\n", qPrintable(what));
    return false;
}

QByteArray encode(const QImage &page, Format format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == Format::Jpeg)
        page.save(&buffer, "JPG", kJpegQuality);
    else
        page.save(&buffer, "PNG", 70); // zlib level 2: quick to write, decodes as any PNG
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return complain(QStringLiteral("cannot write %1").arg(path));
    return true;
}

// Writes an archive of the given members, deflated as the usual zip tools
// do by default, so reading a member costs inflating it, as in a typical
// comic archive. Level 1: pages barely compress, and it writes far faster.
bool writeZip(const QString &path, const QStringList &names, const QList<QByteArray> &contents)
{
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE,
                              &code);
    if (!archive)
        return complain(QStringLiteral("cannot create %1 (libzip error %2)").arg(path).arg(code));
    for (qsizetype i = 0; i < names.size(); ++i) {
        // The buffer is not copied: `contents` outlives zip_close below.
        const QByteArray &bytes = contents[i];
        zip_source_t *source = zip_source_buffer(archive, bytes.constData(),
                                                 zip_uint64_t(bytes.size()), 0);
        const QByteArray name = names[i].toUtf8();
        const zip_int64_t index = source ? zip_file_add(archive, name.constData(), source,
                                                        ZIP_FL_ENC_UTF_8)
                                         : -1;
        if (index < 0
            || zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, 1) != 0) {
            if (source && index < 0)
                zip_source_free(source);
            complain(QStringLiteral("cannot add %1 to %2: %3")
                         .arg(names[i], path, QString::fromUtf8(zip_strerror(archive))));
            zip_discard(archive);
            return false;
        }
    }
    if (zip_close(archive) != 0) {
        complain(QStringLiteral("cannot write %1: %2")
                     .arg(path, QString::fromUtf8(zip_strerror(archive))));
        zip_discard(archive);
        return false;
    }
    return true;
}

bool writeChapter(const QString &series, const Chapter &chapter)
{
    QList<QByteArray> distinct;
    for (int i = 0; i < chapter.distinctPages; ++i) {
        const quint32 seed = quint32(qHash(chapter.name)) * 31u + quint32(i) + 1u;
        distinct.append(encode(scanLikePage(chapter.pageSize, seed), chapter.format));
        if (distinct.last().isEmpty())
            return complain(QStringLiteral("cannot encode a page of %1").arg(chapter.name));
    }
    QStringList names;
    QList<QByteArray> contents;
    for (int i = 0; i < chapter.pages; ++i) {
        names.append(pageName(chapter, i));
        contents.append(distinct[i % distinct.size()]);
    }
    const QString path = chapterPath(QFileInfo(series).path(), chapter);
    if (chapter.zip)
        return writeZip(path, names, contents);
    if (!QDir().mkpath(path))
        return complain(QStringLiteral("cannot make %1").arg(path));
    for (qsizetype i = 0; i < names.size(); ++i)
        if (!writeFile(path + QLatin1Char('/') + names[i], contents[i]))
            return false;
    return true;
}

// Half the chapters are folders of one small page, half archives holding
// nothing: listing them never opens one.
bool writeManyChapters(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return complain(QStringLiteral("cannot make %1").arg(folder));
    // An archive without members is its end record alone.
    const QByteArray emptyZip = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0');
    const QByteArray smallPage = encode(scanLikePage(QSize(64, 96), 7), Format::Jpeg);
    for (int i = 1; i <= ManyChapters; ++i) {
        if (i % 2) {
            const QString chapter = folder
                                    + QStringLiteral("/Chapter %1").arg(i, 4, 10, QLatin1Char('0'));
            if (!QDir().mkpath(chapter)
                || !writeFile(chapter + QStringLiteral("/001.jpg"), smallPage))
                return complain(QStringLiteral("cannot write %1").arg(chapter));
        } else if (!writeFile(
                       folder + QStringLiteral("/Chapter %1.zip").arg(i, 4, 10, QLatin1Char('0')),
                       emptyZip)) {
            return false;
        }
    }
    return true;
}

} // namespace

QList<Chapter> chapters()
{
    // 28 pages: one to open on, five turns after a pause, twenty in a row,
    // and two to spare. The large pages repeat after a few distinct ones to
    // keep the inputs quick to write; the reader knows pages by name.
    const QSize scan(1600, 2400);
    const QSize large(4000, 6000);
    const QSize small(200, 300);
    return {
        {QStringLiteral("jpeg-1600-folder"), Format::Jpeg, scan, 28, false, 28},
        {QStringLiteral("jpeg-1600-zip"), Format::Jpeg, scan, 28, true, 28},
        {QStringLiteral("png-1600-folder"), Format::Png, scan, 28, false, 7},
        {QStringLiteral("png-1600-zip"), Format::Png, scan, 28, true, 7},
        {QStringLiteral("jpeg-4000-folder"), Format::Jpeg, large, 28, false, 4},
        {QStringLiteral("jpeg-4000-zip"), Format::Jpeg, large, 28, true, 4},
        {QStringLiteral("pages-2000-folder"), Format::Jpeg, small, 2000, false, 8},
        {QStringLiteral("pages-2000-zip"), Format::Jpeg, small, 2000, true, 8},
        {spacerChapter(), Format::Jpeg, small, 1, false, 1},
    };
}

Chapter chapter(const QString &name)
{
    for (const Chapter &c : chapters())
        if (c.name == name)
            return c;
    return {QString(), Format::Jpeg, QSize(), 0, false, 0};
}

QString pageName(const Chapter &chapter, int index)
{
    const int digits = chapter.pages >= 1000 ? 4 : 3;
    return QStringLiteral("p%1.%2")
        .arg(index + 1, digits, 10, QLatin1Char('0'))
        .arg(chapter.format == Format::Jpeg ? QStringLiteral("jpg") : QStringLiteral("png"));
}

QString seriesFolder(const QString &root)
{
    return root + QStringLiteral("/series");
}

QString chapterPath(const QString &root, const Chapter &chapter)
{
    return seriesFolder(root) + QLatin1Char('/') + chapter.name
           + (chapter.zip ? QStringLiteral(".zip") : QString());
}

bool isGenerated(const QString &root)
{
    return QFile::exists(root + QLatin1Char('/') + kStamp);
}

bool generate(const QString &root)
{
    const QString series = seriesFolder(root);
    if (!QDir().mkpath(series))
        return complain(QStringLiteral("cannot make %1").arg(series));
    for (const Chapter &c : chapters()) {
        std::fprintf(stderr, "bench inputs: writing %s\n", qPrintable(c.name));
        if (!writeChapter(series, c))
            return false;
    }
    std::fprintf(stderr, "bench inputs: writing %s\n", qPrintable(manyChaptersFolder()));
    if (!writeManyChapters(root + QLatin1Char('/') + manyChaptersFolder()))
        return false;
    return writeFile(root + QLatin1Char('/') + kStamp, QByteArray("1\n"));
}

QImage scanLikePage(QSize size, quint32 seed)
{
    Random random(seed);
    const double s = size.width() / 1600.0; // strokes scale with the page
    QImage page(size, QImage::Format_RGB32);
    page.fill(QColor(236, 231, 219));

    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    const int margin = int(60 * s);
    const int gutter = int(24 * s);
    const int rows = 3 + random.below(2);
    const int rowHeight = (size.height() - 2 * margin - (rows - 1) * gutter) / rows;
    for (int row = 0; row < rows; ++row) {
        const int columns = 1 + random.below(3);
        const int columnWidth = (size.width() - 2 * margin - (columns - 1) * gutter) / columns;
        for (int column = 0; column < columns; ++column) {
            const QRectF panel(margin + column * (columnWidth + gutter),
                               margin + row * (rowHeight + gutter), columnWidth, rowHeight);
            painter.save();
            painter.setClipRect(panel);
            // A light flat tint, then hatching across part of the panel.
            painter.fillRect(panel, QColor::fromHsv(random.below(360), 30 + random.below(50),
                                                    200 + random.below(40)));
            const double angle = random.uniform(0, M_PI);
            const double spacing = random.uniform(5, 11) * s;
            painter.setPen(QPen(QColor(40, 36, 34), std::max(1.0, 1.2 * s)));
            const QPointF centre = panel.center();
            const double reach = std::hypot(panel.width(), panel.height());
            const QPointF along(std::cos(angle) * reach, std::sin(angle) * reach);
            const QPointF across(-std::sin(angle), std::cos(angle));
            for (double d = -reach / 2; d < reach / 4; d += spacing)
                painter.drawLine(centre + across * d - along, centre + across * d + along);
            // Line art: curves of varied weight, dark masses and a few
            // speech balloons with rows of glyph-like marks.
            for (int k = 0; k < 40; ++k) {
                QPainterPath path;
                auto point = [&] {
                    return QPointF(random.uniform(panel.left(), panel.right()),
                                   random.uniform(panel.top(), panel.bottom()));
                };
                path.moveTo(point());
                path.cubicTo(point(), point(), point());
                painter.setPen(QPen(QColor(15, 12, 10), random.uniform(1, 6) * s, Qt::SolidLine,
                                    Qt::RoundCap));
                painter.setBrush(Qt::NoBrush);
                painter.drawPath(path);
            }
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(20, 18, 16));
            for (int k = 0; k < 3; ++k)
                painter.drawEllipse(QPointF(random.uniform(panel.left(), panel.right()),
                                            random.uniform(panel.top(), panel.bottom())),
                                    random.uniform(20, 90) * s, random.uniform(20, 90) * s);
            const QRectF balloon(panel.left() + random.uniform(0, panel.width() / 2),
                                 panel.top() + random.uniform(0, panel.height() / 2),
                                 panel.width() / 2, panel.height() / 3);
            painter.setPen(QPen(Qt::black, 3 * s));
            painter.setBrush(QColor(250, 248, 244));
            painter.drawEllipse(balloon);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(25, 25, 25));
            const double glyph = 14 * s;
            for (double y = balloon.top() + balloon.height() * 0.3;
                 y < balloon.bottom() - balloon.height() * 0.3; y += glyph * 1.6)
                for (double x = balloon.left() + balloon.width() * 0.2;
                     x < balloon.right() - balloon.width() * 0.2;
                     x += glyph * random.uniform(0.7, 1.3))
                    painter.drawRect(QRectF(x, y, glyph * random.uniform(0.3, 0.8), glyph));
            painter.restore();
            painter.setPen(QPen(QColor(10, 10, 10), 5 * s));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(panel);
        }
    }
    painter.end();

    // Grain over everything, as the scanner's sensor and the paper leave it:
    // a blotch per cell (4 x 4 pixels on a 1600-pixel-wide page, larger on
    // larger pages) plus faint noise per pixel.
    const int w = size.width();
    const int h = size.height();
    const int cell = std::max(1, int(4 * s + 0.5));
    QList<int> cells((w + cell - 1) / cell);
    for (int y = 0; y < h; ++y) {
        if (y % cell == 0)
            for (int &blotch : cells)
                blotch = random.below(11) - 5;
        auto *line = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint32 r = random.next();
            const int common = cells[x / cell] + int(r & 7) - 3;
            const int tint = int((r >> 8) & 3) - 1;
            auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
            const QRgb p = line[x];
            line[x] = qRgb(clamp(qRed(p) + common + tint), clamp(qGreen(p) + common),
                           clamp(qBlue(p) + common - tint));
        }
    }
    return page;
}

} // namespace BenchInputs
