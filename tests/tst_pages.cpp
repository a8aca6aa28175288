// The pictures held for the page display: pages decoded ahead on the worker,
// their budget, pages replaced on disk, failures ahead of time, chapter
// changes, and pages shrunk by area averaging; and the window showing exactly
// what it shows without them.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "ZipFixtures.h"
#include "app/frmMain.h"
#include "imaging/PageImages.h"
#include "platform/PictureControls.h"
#include "imaging/PictureLoader.h"
#include "platform/PlatformError.h"
#include "platform/Twips.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>
#include <atomic>
#include <zip.h>

using namespace SeriesFixtures;

namespace {

// Black and white vertical lines, one pixel in three black: fine line art
// that aliases when shrunk by sampling instead of averaging.
QImage finelines(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int x = 0; x < size.width(); x += 3)
        for (int y = 0; y < size.height(); ++y)
            image.setPixel(x, y, qRgb(0, 0, 0));
    return image;
}

// Mean difference per channel between two images of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            total += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * x.width() * x.height());
}

// A page-sized JPEG per name, each its own colour.
QList<PageSource> pageFiles(const QString &folder, int count, QSize size = QSize(200, 300))
{
    QList<PageSource> sources;
    for (int i = 1; i <= count; ++i) {
        const QString path = folder + QStringLiteral("/p%1.jpg").arg(i);
        writePage(path, size, QColor::fromHsv(i * 40 % 360, 200, 200));
        sources << PageSource::of(path);
    }
    return sources;
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString series;
    std::atomic<int> decodes{0};

    PageImages::Decoder countingDecoder()
    {
        return [this](const PageSource &page, const ShownSize &reduceTo, QByteArray *) {
            ++decodes;
            return LoadPage(page.path, reduceTo);
        };
    }
    void waitUntilIdle(const PageImages &pages) { QTRY_VERIFY(!pages.busy()); }
    // The series opened in Fit To Window, in a window whose viewport is
    // `side` pixels square.
    void openFittedInSquareViewport(int side)
    {
        w = WindowFixtures::windowWithoutStartup();
        w->chkFitToWindow->setChecked(true);
        const QSize target(w->width() + side - w->PicImage->width() - w->vsImage->width(),
                           w->height() + side - w->PicImage->height() - w->hsImage->height());
        w->resize(target);
        QTRY_COMPARE(w->LastWidth, Twips::fromPixels(target.width()));
        WindowFixtures::openSeries(*w, series, 0);
    }
    void show(qint16 page) { w->ShowPage(w->PageIndex = page); }

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        series = TestEnvironment::freshFolder(QStringLiteral("series"));
        decodes = 0;
    }
    void cleanup()
    {
        w.reset();
        Prompts::install(nullptr);
    }

    void decodesAheadWithinTheBudget()
    {
        PageImages pages;
        const QList<PageSource> files = pageFiles(series, 6);
        pages.showing(files[0], LoadPage(files[0].path));
        pages.decodeAhead(files.mid(1), countingDecoder(), {});
        waitUntilIdle(pages);
        // Three pages the size of the one shown, and not a byte more.
        QCOMPARE(decodes.load(), 3);
        for (int i = 1; i <= 3; ++i)
            QVERIFY2(pages.find(files[i]), qPrintable(files[i].path));
        QVERIFY(!pages.find(files[4]));
        QVERIFY(pages.bytesHeld() <= pages.budget());
        QCOMPARE(pages.find(files[2])->image.pixelColor(5, 5).rgb(), LoadPicture(files[2].path).pixelColor(5, 5).rgb());
        // Paging on: the page left behind is kept while it is wanted, and
        // makes room for the next one when it is not.
        pages.showing(files[1], *pages.find(files[1]));
        pages.decodeAhead({files[2], files[0], files[3], files[4]}, countingDecoder(), {});
        waitUntilIdle(pages);
        QVERIFY(pages.find(files[0]) && pages.find(files[3]) && !pages.find(files[4]));
        QCOMPARE(decodes.load(), 3);
        pages.showing(files[2], *pages.find(files[2]));
        pages.decodeAhead({files[3], files[1], files[4], files[5]}, countingDecoder(), {});
        waitUntilIdle(pages);
        QVERIFY(!pages.find(files[0]) && pages.find(files[1]) && pages.find(files[4]));
        QCOMPARE(decodes.load(), 4);
        QVERIFY(pages.bytesHeld() <= pages.budget());
    }

    void pagesLargerThanReckonedAreNotDecodedOverAndOver()
    {
        // Shrunk copies made ahead make each page larger than the page
        // shown: what does not fit is let go once, not decoded again.
        PageImages pages;
        const QList<PageSource> files = pageFiles(series, 6);
        pages.showing(files[0], LoadPage(files[0].path));
        pages.decodeAhead(files.mid(1), countingDecoder(), [](QSize natural) { return natural * 0.9; });
        waitUntilIdle(pages);
        QVERIFY2(decodes.load() <= 5, qPrintable(QString::number(decodes.load())));
        QVERIFY(pages.find(files[1]) && pages.bytesHeld() <= pages.budget());
    }

    void replacedOrFailingPagesAreNotHeld()
    {
        PageImages pages;
        const QList<PageSource> files = pageFiles(series, 3);
        writeBytes(files[2].path, "no picture");
        pages.showing(files[0], LoadPage(files[0].path));
        pages.decodeAhead({PageSource::of(files[2].path), files[1]}, countingDecoder(), {});
        waitUntilIdle(pages);
        QCOMPARE(decodes.load(), 2);
        QVERIFY(!pages.find(PageSource::of(files[2].path)));
        QVERIFY(pages.find(files[1]));
        // The same name with other content is another page.
        writePage(files[1].path, QSize(210, 300), Qt::red);
        QVERIFY(!(PageSource::of(files[1].path) == files[1]));
        QVERIFY(!pages.find(PageSource::of(files[1].path)));
        // No regular file, no page.
        QVERIFY(!PageSource::of(series).isValid());
        QVERIFY(!pages.find(PageSource::of(series)));
    }

    void droppedWorkIsForgotten()
    {
        PageImages pages;
        const QList<PageSource> files = pageFiles(series, 4, QSize(1200, 1800));
        pages.showing(files[0], LoadPage(files[0].path));
        pages.decodeAhead(files.mid(1), countingDecoder(), {});
        pages.dropAhead(); // while the worker is at it
        waitUntilIdle(pages);
        QCOMPARE(pages.bytesHeld(), 0);
        for (const PageSource &file : files.mid(1))
            QVERIFY(!pages.find(file));
        QVERIFY(pages.find(files[0]));
    }

    void shrinkingAveragesOncePerSize()
    {
        PageImages pages;
        const QList<PageSource> files = pageFiles(series, 2);
        const QImage page = finelines(QSize(300, 300));
        pages.showing(files[0], {page, page.size()});
        const QImage small = pages.atSize(files[0], page, QSize(60, 60));
        QCOMPARE(small, page.scaled(60, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        QCOMPARE(pages.atSize(files[0], page, QSize(60, 60)).cacheKey(), small.cacheKey());
        // Enlarged or at natural size: the picture itself, stretched when painted.
        QCOMPARE(pages.atSize(files[0], page, QSize(600, 600)).cacheKey(), page.cacheKey());
        QCOMPARE(pages.atSize(files[0], page, page.size()).cacheKey(), page.cacheKey());
        // Decoded ahead: shrunk ahead too, for the size the window asked for.
        pages.decodeAhead({files[1]}, countingDecoder(), [](QSize natural) { return natural / 4; });
        waitUntilIdle(pages);
        const QImage ahead = pages.find(files[1])->image;
        const QImage shrunkAhead = pages.atSize(files[1], ahead, ahead.size() / 4);
        QCOMPARE(shrunkAhead, ahead.scaled(ahead.size() / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        QCOMPARE(pages.atSize(files[1], ahead, ahead.size() / 4).cacheKey(), shrunkAhead.cacheKey());
    }

    void fittedLineArtIsAreaAveragedOnScreen()
    {
        const QImage page = finelines(QSize(1500, 1500));
        QDir().mkpath(series + QStringLiteral("/Ch1"));
        QVERIFY(page.save(series + QStringLiteral("/Ch1/lines.bmp")));
        // A viewport of 300 x 300 pixels: the page at a fifth of its size.
        openFittedInSquareViewport(300);
        QCOMPARE(w->Image1->size(), QSize(300, 300));
        const QImage painted = w->Image1->grab().toImage();
        const QImage reference = page.scaled(300, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY2(meanDifference(painted, reference) <= 2.0, qPrintable(QString::number(meanDifference(painted, reference))));
    }

    void reducedPagesServeOnlyTheirReduction()
    {
        PageImages pages;
        const QList<PageSource> files = pageFiles(series, 2, QSize(1600, 2400));
        pages.showing(files[0], LoadPage(files[0].path));
        const ShownSize quarter = [](QSize natural) { return natural / 4; };
        pages.decodeAhead({files[1]}, countingDecoder(), quarter, quarter);
        waitUntilIdle(pages);
        const std::optional<PagePicture> reduced = pages.find(files[1], quarter);
        QVERIFY(reduced && reduced->isReduced());
        QCOMPARE(reduced->natural, QSize(1600, 2400));
        QCOMPARE(reduced->image.size(), QSize(400, 600));
        // Not for a display at full size, nor for another reduction.
        QVERIFY(!pages.find(files[1]));
        QVERIFY(!pages.find(files[1], [](QSize natural) { return natural / 2; }));
        // Fit turned off: the page is decoded again, whole.
        pages.decodeAhead({files[1]}, countingDecoder(), {});
        waitUntilIdle(pages);
        QCOMPARE(decodes.load(), 2);
        QVERIFY(pages.find(files[1]) && !pages.find(files[1])->isReduced());

        // A page of a format that decodes only whole is held ahead shrunk
        // to the size it is fitted to, and only for that size.
        const QString png = series + QStringLiteral("/p3.png");
        QVERIFY(finelines(QSize(900, 900)).save(png));
        const PageSource third = PageSource::of(png);
        const ShownSize fitted = [](QSize natural) { return natural / 3; };
        pages.decodeAhead({third}, countingDecoder(), fitted, fitted);
        waitUntilIdle(pages);
        const std::optional<PagePicture> shrunk = pages.find(third, fitted);
        QVERIFY(shrunk);
        QCOMPARE(shrunk->natural, QSize(900, 900));
        QCOMPARE(shrunk->image, finelines(QSize(900, 900)).scaled(300, 300, Qt::IgnoreAspectRatio,
                                                                   Qt::SmoothTransformation));
        QVERIFY(!pages.find(third) && !pages.find(third, quarter));
    }

    void fittedJpegPageIsDecodedReducedAndWholeWhenZoomed()
    {
        // A scan-like page: shaded, with strokes of several widths.
        QImage page(1600, 2400, QImage::Format_RGB32);
        QPainter painter(&page);
        QLinearGradient shade(0, 0, 1600, 2400);
        shade.setColorAt(0, QColor(250, 240, 220));
        shade.setColorAt(1, QColor(120, 140, 180));
        painter.fillRect(page.rect(), shade);
        painter.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < 60; ++i) {
            painter.setPen(QPen(Qt::black, 1 + i % 6));
            painter.drawEllipse(QPoint(800, 1200), 20 * i + 10, 25 * i + 10);
        }
        painter.end();
        QDir().mkpath(series + QStringLiteral("/Ch1"));
        const QString path = series + QStringLiteral("/Ch1/p1.jpg");
        QVERIFY(page.save(path, "JPEG", 92));
        const QImage whole = LoadPicture(path);

        openFittedInSquareViewport(300);
        QCOMPARE(w->Image1->size(), QSize(200, 300));
        // Measured at its natural size, decoded at an eighth of it.
        QCOMPARE(w->Image2->size(), QSize(1600, 2400));
        QCOMPARE(w->Image2->picture().size(), QSize(200, 300));
        const QImage reference = whole.scaled(200, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double difference = meanDifference(w->Image1->grab().toImage(), reference);
        QVERIFY2(difference <= 2.0, qPrintable(QString::number(difference)));
        // Fit To Window off: the whole page, exactly as decoded in full.
        w->chkFitToWindow->setChecked(false);
        QCOMPARE(w->Image1->size(), QSize(1600, 2400));
        QCOMPARE(w->Image1->picture(), whole);
        QCOMPARE(w->Image2->picture().size(), QSize(1600, 2400));
    }

    void windowShowsWhatItShowsWithoutHeldPages()
    {
        // Folder and zip chapters, JPEG and PNG, a corrupt page, a member
        // behind a password: paged through with pages held and decoded
        // ahead, and again with every page decoded as it is shown.
        QImage png(40, 60, QImage::Format_RGB32);
        png.fill(Qt::magenta);
        QByteArray pngBytes;
        QBuffer buffer(&pngBytes);
        png.save(&buffer, "PNG");
        makeFolderChapter(series, QStringLiteral("Ch1"), {"1.jpg", "2.png", "3.jpg", "4.gif"}, QSize(300, 450));
        const QString ch2 = makeFolderChapter(series, QStringLiteral("Ch2"), {"1.jpg", "2.jpg", "3.bmp"}, QSize(1800, 1200));
        writeBytes(ch2 + QStringLiteral("/2.jpg"), "\xff\xd8\xff broken");
        const auto jpeg = [](const QColor &colour) {
            QImage image(50, 70, QImage::Format_RGB32);
            image.fill(colour);
            QByteArray bytes;
            QBuffer out(&bytes);
            image.save(&out, "JPG");
            return bytes;
        };
        ZipFixtures::Member secret = ZipFixtures::encrypted("c.jpg", ZIP_EM_TRAD_PKWARE, "secret");
        secret.content = jpeg(Qt::green);
        QVERIFY(ZipFixtures::write(series + QStringLiteral("/Ch3.zip"),
                                   {ZipFixtures::file("a.png", pngBytes), ZipFixtures::file("b.jpg", "not a picture"),
                                    secret, ZipFixtures::file("d.jpg", jpeg(Qt::blue))}));
        const auto run = [this](bool holding) {
            QFile::remove(TestEnvironment::settingsFile());
            w = WindowFixtures::windowWithoutStartup();
            w->pageImages().setHolding(holding);
            prompts->inputAnswers.enqueue({true, QStringLiteral("secret")});
            QStringList steps;
            int reduced = 0;
            WindowFixtures::openSeries(*w, series, 0);
            for (int round = 0; round < 2; ++round) {
                w->chkFitToWindow->setChecked(round == 1);
                for (int chapter = 0; chapter < w->cboChapters->count(); ++chapter) {
                    w->cboChapters->setCurrentIndex(chapter);
                    const auto record = [&] {
                        QFile settings(TestEnvironment::settingsFile());
                        settings.open(QIODevice::ReadOnly);
                        const QImage shown = w->Image1->picture();
                        reduced += !w->IsPngPage && w->Image2->picture().size() != w->Image2->size();
                        // The temporary page files an archive page leaves behind, too.
                        QString temporary;
                        for (const QString &name : QDir(w->AppFolder).entryList(QDir::Files))
                            temporary += ' ' + name + '=' + QString::number(qHash(fileContent(w->AppFolder + name)));
                        steps << temporary + ' ' + w->lblPage->text() + ' ' + QString::number(shown.cacheKey() ? qHashBits(shown.constBits(), shown.sizeInBytes()) : 0)
                                     + ' ' + QString::number(Twips::width(w->Image1)) + 'x' + QString::number(Twips::height(w->Image1))
                                     + '\n' + QString::fromUtf8(settings.readAll());
                    };
                    for (qint16 page : {1, 2, 3, 4, 3, 1}) {
                        QTest::qWait(20); // let the worker run ahead
                        show(page);
                        record();
                    }
                    // Zoom steps out and back in, each shrunk ahead of it.
                    for (double step : {-0.2, -0.2, 0.2, 0.2}) {
                        QTest::qWait(20);
                        w->ZoomPage(step);
                        record();
                    }
                }
            }
            QStringList boxes;
            for (const auto &box : prompts->shown)
                if (!box.isInput)
                    boxes << box.message.title + ": " + box.message.text;
            prompts->shown.clear();
            w.reset();
            // Large pages in Fit To Window were decoded at a reduced scale.
            return steps << boxes << QString::number(reduced > 0);
        };
        const QStringList held = run(true);
        const QStringList decodedAsShown = run(false);
        QCOMPARE(held.size(), decodedAsShown.size());
        for (qsizetype i = 0; i < held.size(); ++i)
            QCOMPARE(held[i], decodedAsShown[i]);
        QCOMPARE(held.last(), QStringLiteral("1"));
    }

    void hugeArchiveMembersAreReadOnlyWhenShown()
    {
        // A page that decodes, padded to more than may be read ahead.
        const auto jpeg = [](const QColor &colour, qint64 padding) {
            return solidJpeg(QSize(60, 90), colour) + QByteArray(padding, '\0');
        };
        const QString zip = series + QStringLiteral("/Ch1.zip");
        QVERIFY(ZipFixtures::write(zip, {ZipFixtures::file("1.jpg", jpeg(Qt::red, 0)),
                                         ZipFixtures::file("2.jpg", jpeg(Qt::green, PageImages::MostFileBytesAhead)),
                                         ZipFixtures::file("3.jpg", jpeg(Qt::blue, 0))}));
        w = WindowFixtures::windowWithoutStartup();
        WindowFixtures::openSeries(*w, series, 0);
        waitUntilIdle(w->pageImages());
        QVERIFY(!w->pageImages().find(PageSource::of(zip, QStringLiteral("2.jpg")), {}));
        QVERIFY(w->pageImages().find(PageSource::of(zip, QStringLiteral("3.jpg")), {}));
        show(2);
        QVERIFY(prompts->shown.isEmpty());
        QVERIFY(w->Image1->picture().pixelColor(10, 10).green() > 200);
    }

    void pagesAheadFollowTheFilesAndTheChapter()
    {
        makeFolderChapter(series, QStringLiteral("Ch1"), {"p1.jpg", "p2.jpg", "p3.jpg"}, QSize(300, 450));
        const QString ch2 = makeFolderChapter(series, QStringLiteral("Ch2"), {"p1.jpg", "p2.jpg", "p3.jpg"}, QSize(300, 450));
        for (const char *name : {"p1.jpg", "p2.jpg", "p3.jpg"})
            writePage(ch2 + '/' + name, QSize(300, 450), Qt::yellow);
        const QString ch1 = series + QStringLiteral("/Ch1/");
        w = WindowFixtures::windowWithoutStartup();
        WindowFixtures::openSeries(*w, series, 0);
        waitUntilIdle(w->pageImages());
        QVERIFY(w->pageImages().bytesHeld() > 0);
        // Page 2, decoded ahead, then replaced on disk: shown as it is now.
        writePage(ch1 + "p2.jpg", QSize(300, 450), Qt::red);
        QFile file(ch1 + "p2.jpg");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        file.close();
        show(2);
        QCOMPARE(w->Image1->picture().pixelColor(10, 10).red() > 200, true);
        QVERIFY(w->Image1->picture().pixelColor(10, 10).green() < 60);
        // Page 3, decoded ahead, then broken: its box comes when it is shown.
        waitUntilIdle(w->pageImages());
        writeBytes(ch1 + "p3.jpg", "\xff\xd8\xff broken");
        QVERIFY(prompts->shown.isEmpty());
        show(3);
        QCOMPARE(prompts->shown.size(), 1);
        QCOMPARE(prompts->shown.first().message.title, QStringLiteral("Error Accessing Page"));
        // A chapter change while the worker is busy shows only the new chapter's pages.
        show(1);
        w->cboChapters->setCurrentIndex(1);
        for (qint16 page : {1, 2, 3, 2}) {
            show(page);
            QCOMPARE(w->Image1->picture().pixelColor(10, 10).rgb(), QColor(Qt::yellow).rgb());
        }
    }
};

PAGORA_TEST_MAIN(TestPages)
#include "tst_pages.moc"
