// Pages decoded ahead within their budget, failed or replaced pages; and the window showing pages
// held or decoded ahead exactly as pages decoded as they are shown, fitted pages area-averaged.
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "ZipFixtures.h"
#include "imaging/PageImages.h"
#include "platform/PictureControls.h"

#include <QtTest>
#include <QtWidgets>
#include <atomic>

using namespace SeriesFixtures;
using namespace WindowFixtures;

class TestPages : public QObject {
    Q_OBJECT

    ScriptedPrompts *prompts = nullptr;
    QString series;
    std::atomic<int> decodes{0};
    const PageImages::Decoder counting = [this](const PageSource &page, auto &&...) {
        return ++decodes, LoadPage(page.path);
    };

    QList<PageSource> f; // p0 to p5, each its own colour; p4 no picture
    // Decodes these ahead; when the workers are done, the pages of f held and decodes in all.
    QString ahead(PageImages &pages, const QList<PageSource> &order,
                  PageImages::DisplaySize display = {})
    {
        pages.decodeAhead(order, counting, display);
        QString found = QTest::qWaitFor([&pages] { return !pages.busy(); }, 60000) ? "" : "busy ";
        for (int i = 0; i < f.size(); ++i)
            found += pages.find(f[i]) ? QString::number(i) : QString();
        return found + ' ' + QString::number(decodes);
    }

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        series = TestEnvironment::freshFolder("series");
    }

    void decodesAheadWithinTheBudget()
    {
        for (int i = 0; i < 6; ++i) {
            const QString path = series + QString("/p%1.jpg").arg(i);
            i == 4 ? writeBytes(path, "x") : writePage(path, {200, 300}, Qt::GlobalColor(7 + i));
            f << PageSource::of(path);
        }
        // Three pages the size of the one shown, and not a byte more; each decoded once.
        PageImages pages;
        pages.showing(f[0], LoadPage(f[0].path));
        QCOMPARE(ahead(pages, f.mid(1)), "0123 3");
        // Paging on: the page left behind is kept while it is wanted, and makes room when not;
        // one that fails is not held, nor tried again ahead.
        pages.showing(f[1], *pages.find(f[1]));
        QCOMPARE(ahead(pages, {f[2], f[0], f[3], f[4]}), "0123 3");
        pages.showing(f[2], *pages.find(f[2]));
        QCOMPARE(ahead(pages, {f[3], f[1], f[4], f[5]}), "1235 5");
        QCOMPARE(ahead(pages, {f[3], f[4], f[1], f[5]}), "1235 5");
        // The same name with other content is another page; no regular file, no page.
        writePage(f[1].path, {210, 300}, Qt::red);
        QVERIFY(!pages.find(PageSource::of(f[1].path)) && !pages.find(PageSource::of(series)));
        // Larger than reckoned (with shrunk copies): what does not fit is let go once.
        PageImages larger;
        larger.showing(f[0], LoadPage(f[0].path));
        QVERIFY(ahead(larger, f.mid(2), [](QSize size) { return size * 0.9; }).startsWith("02 "));
        QVERIFY(decodes <= 5 + 4 && larger.bytesHeld() <= larger.budget());
    }

    // Paged through with the workers let start between steps (pages come decoded and shrunk
    // ahead) and with none (each decoded as shown), the window shows, leaves and tells the same.
    void heldPagesShowAsDecodedNow()
    {
        makeFolderChapter(series, "A", {"1.jpg", "2.png", "3.jpg", "4.gif"}, {300, 450});
        const QString b = makeFolderChapter(series, "B", {"1.jpg", "2.jpg", "3.bmp", "4.png"},
                                            {1800, 1200});
        writeBytes(b + "/2.jpg", "\xff\xd8\xff broken");
        // The last page padded to more than is read ahead: read only when it is shown.
        const QByteArray huge = solidPage({1600, 900}, Qt::blue)
                                + QByteArray(PageImages::MostFileBytesAhead, 0);
        using ZipFixtures::file;
        QVERIFY(ZipFixtures::write(series + "/C.zip", {file("a.png", fileContent(b + "/4.png")),
                                                       file("b.jpg", "not a picture"),
                                                       file("c.jpg", fileContent(b + "/1.jpg")),
                                                       file("d.jpg", huge)}));
        const auto run = [this](bool ahead) {
            const auto w = firstRunWindow();
            openSeries(*w, series);
            const QString runFolder = w->view().runFolder;
            QStringList steps;
            for (int chapter = 0; chapter < 6; ++chapter) {
                control<QCheckBox>(*w, "chkFitToWindow")->setChecked(chapter >= 3);
                control<QComboBox>(*w, "cboChapters")->setCurrentIndex(chapter % 3);
                for (const char step : QByteArray("2343ZZz1zz")) {
                    if (ahead)
                        QCoreApplication::processEvents();
                    const auto shift = step == 'Z' ? Qt::ShiftModifier : Qt::NoModifier;
                    step > '9' ? QTest::keyClick(qApp->focusWidget(), 'z', shift)
                               : goToPage(*w, step - '0');
                    // The page shown, the page files left for it and the settings saved.
                    const QImage shown = control<ImageControl>(*w, "Image1")->picture();
                    const size_t hash = qHashBits(shown.constBits(), shown.sizeInBytes());
                    QString seen = control<QLabel>(*w, "lblPage")->text()
                                   + QString(" %1 %2\n").arg(hash).arg(w->view().zoom);
                    for (const QString &name : QDir(runFolder).entryList(QDir::Files))
                        seen += name + QString(" %1\n").arg(qHash(fileContent(runFolder + name)));
                    steps << seen + fileContent(TestEnvironment::settingsFile());
                }
            }
            for (const ScriptedPrompts::Shown &box : std::exchange(prompts->shown, {}))
                steps << box.message.title + ": " + box.message.text;
            w->close(); // its page files go with it
            return steps;
        };
        const QStringList ahead = run(true);
        QCOMPARE(ahead, run(false));
        QVERIFY(ahead.filter("d.jpg").isEmpty());
    }

    void fittedPageIsAveragedAndWholeUnfitted()
    {
        QImage art(1500, 1500, QImage::Format_RGB32); // aliases when shrunk by sampling
        for (int x = 0; x < art.width(); ++x)
            for (int y = 0; y < art.height(); ++y)
                art.setPixel(x, y, x % 3 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        QVERIFY(QDir(series).mkpath("Ch1") && art.save(series + "/Ch1/p1.bmp"));
        writePage(series + "/Ch1/p2.jpg", {1600, 2400});
        const auto w = firstRunWindow();
        control<QCheckBox>(*w, "chkFitToWindow")->setChecked(true);
        openSeries(*w, series);
        auto *page = control<ImageControl>(*w, "Image1");
        const QImage shown = page->picture();
        const QImage reference = art.scaled(page->size(), Qt::IgnoreAspectRatio,
                                            Qt::SmoothTransformation);
        double off = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                off += qAbs(qGray(shown.pixel(x, y)) - qGray(reference.pixel(x, y)));
        QVERIFY2(off / shown.width() / shown.height() <= 2.0, qPrintable(QString::number(off)));
        // Decoded at a reduced scale to fit; unfitted, the page exactly as decoded in full.
        goToPage(*w, 2);
        control<QCheckBox>(*w, "chkFitToWindow")->setChecked(false);
        QCOMPARE(page->picture(), LoadPicture(series + "/Ch1/p2.jpg"));
    }
};

PAGORA_TEST_MAIN(TestPages)
#include "tst_pages.moc"
