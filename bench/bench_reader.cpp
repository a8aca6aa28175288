// The reader's page path as a person meets it, against the decoding
// libraries alone, on generated series that look like scans.
//
// Every figure is a wall-clock time on the offscreen platform with the main
// window at 1920 x 1080, from the user's action (a key press, a chapter
// chosen in the list, a resize) until the page area has painted and the
// event loop has finished that pass. The baseline of an input is the median
// time to decode one of its pages with the library alone: QImageReader for
// JPEG, FreeImage (load, then convert to 32 bits) for PNG; for an archive,
// reading the member with libzip (archive already open) plus decoding it
// from memory.
//
//   bench_reader --generate DIR      write the inputs into DIR and exit
//   bench_reader --inputs DIR [...]  run on inputs in DIR (written if absent)
//   bench_reader --summary FILE...   print the table from JSON result files
//
// Google Benchmark options (--benchmark_filter, --benchmark_out, ...) apply.
// Peak memory is only meaningful when a peak_* benchmark runs alone in its
// process; scripts/bench does that.
#include "BenchInputs.h"
#include "app/frmMain.h"
#include "platform/LocalTime.h"
#include "platform/Prompts.h"

#include <FreeImage.h>
#include <zip.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

using BenchInputs::Chapter;
using BenchInputs::Format;

namespace {

constexpr QSize kWindowSize(1920, 1080);
constexpr QSize kOtherSize(1900, 1060);

QString g_inputs;             // where the generated inputs are
bool g_generatedHere = false; // inputs written by this process: its peak includes that

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_reader: %s\n", qPrintable(what));
    std::fflush(stderr);
    std::_Exit(2);
}

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A field of /proc/self/status in MB ("VmHWM": peak resident, "VmRSS": now).
double statusMb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// A box in a benchmark means a broken input or a broken reader: say which
// and stop, rather than wait for a click that never comes.
class FailingPrompts : public Prompts {
public:
    PromptResult message(const MessageRequest &request) override
    {
        fail(QStringLiteral("the reader showed a box: %1: %2").arg(request.title, request.text));
    }
    InputAnswer input(const InputRequest &request) override
    {
        fail(QStringLiteral("the reader asked: %1").arg(request.prompt));
    }
};

// ---------------------------------------------------------------------------
// The baseline: the libraries alone.

class Archive {
public:
    explicit Archive(const QString &path)
    {
        int code = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
        if (!m_zip)
            fail(QStringLiteral("cannot open %1 (libzip error %2)").arg(path).arg(code));
    }
    ~Archive() { zip_discard(m_zip); }
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;

    QByteArray read(const QString &member) const
    {
        const QByteArray name = member.toUtf8();
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat(m_zip, name.constData(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            fail(QStringLiteral("no member %1").arg(member));
        QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
        zip_file_t *file = zip_fopen(m_zip, name.constData(), 0);
        if (!file || zip_fread(file, bytes.data(), stat.size) != zip_int64_t(stat.size))
            fail(QStringLiteral("cannot read member %1").arg(member));
        zip_fclose(file);
        return bytes;
    }

private:
    zip_t *m_zip = nullptr;
};

void decodeJpeg(QIODevice *device)
{
    QImageReader reader(device, "jpg");
    const QImage image = reader.read();
    if (image.isNull())
        fail(QStringLiteral("QImageReader: %1").arg(reader.errorString()));
    benchmark::DoNotOptimize(image.constBits());
}

void decodePng(FIBITMAP *loaded)
{
    if (!loaded)
        fail(QStringLiteral("FreeImage could not load a PNG page"));
    FIBITMAP *converted = FreeImage_ConvertTo32Bits(loaded);
    FreeImage_Unload(loaded);
    if (!converted)
        fail(QStringLiteral("FreeImage could not convert a PNG page"));
    benchmark::DoNotOptimize(FreeImage_GetBits(converted));
    FreeImage_Unload(converted);
}

// Decodes page `index` of `chapter` as the libraries alone would; returns ms.
double decodeAlone(const Chapter &chapter, int index)
{
    const QString path = BenchInputs::chapterPath(g_inputs, chapter);
    const QString name = BenchInputs::pageName(chapter, index);
    if (!chapter.zip) {
        const QString file = path + QLatin1Char('/') + name;
        const auto start = Clock::now();
        if (chapter.format == Format::Jpeg) {
            QFile device(file);
            device.open(QIODevice::ReadOnly);
            decodeJpeg(&device);
        } else {
            decodePng(FreeImage_Load(FIF_PNG, QFile::encodeName(file).constData(), 0));
        }
        return msSince(start);
    }
    static std::unique_ptr<Archive> archive;
    static QString archivePath;
    if (archivePath != path) {
        archive.reset();
        archive = std::make_unique<Archive>(path);
        archivePath = path;
    }
    const auto start = Clock::now();
    QByteArray bytes = archive->read(name);
    if (chapter.format == Format::Jpeg) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        decodeJpeg(&buffer);
    } else {
        FIMEMORY *memory = FreeImage_OpenMemory(reinterpret_cast<BYTE *>(bytes.data()),
                                                DWORD(bytes.size()));
        decodePng(FreeImage_LoadFromMemory(FIF_PNG, memory, 0));
        FreeImage_CloseMemory(memory);
    }
    return msSince(start);
}

// Listing the series folder with Qt alone, unsorted.
double listAlone(const QString &folder)
{
    const auto start = Clock::now();
    const QStringList entries = QDir(folder).entryList(
        QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    benchmark::DoNotOptimize(entries.size());
    return msSince(start);
}

QMap<QString, QList<double>> g_baselineSamples;

// The median baseline of an input, measured now if its benchmark did not run.
double baselineFor(const QString &input)
{
    QList<double> &samples = g_baselineSamples[input];
    if (samples.size() < 3) {
        const Chapter chapter = BenchInputs::chapter(input);
        for (int i = 0; i < 5; ++i)
            samples.append(chapter.name.isEmpty() ? listAlone(g_inputs + QLatin1Char('/') + input)
                                                  : decodeAlone(chapter, i % chapter.pages));
    }
    return median(samples);
}

void baseline(benchmark::State &state, const QString &input)
{
    const Chapter chapter = BenchInputs::chapter(input);
    for (auto _ : state) {
        QList<double> &samples = g_baselineSamples[input];
        // Each repetition decodes another page: no decoder sees the same
        // bytes twice in a row.
        const double ms = chapter.name.isEmpty()
                              ? listAlone(g_inputs + QLatin1Char('/') + input)
                              : decodeAlone(chapter, int(samples.size()) % chapter.pages);
        samples.append(ms);
        state.SetIterationTime(ms / 1000.0);
    }
}

// ---------------------------------------------------------------------------
// The reader's window.

// Counts paint events of the page widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class Window {
public:
    Window() : w((freshSettings(), std::make_unique<frmMain>()))
    {
        w->resize(kWindowSize);
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowExposed(w.get()) || !QTest::qWaitForWindowActive(w.get()))
            fail(QStringLiteral("the main window did not come up"));
        m_page = w->findChild<QWidget *>(QStringLiteral("Image1"));
        if (!m_page)
            fail(QStringLiteral("no page widget"));
        // The page area: the page widget and the viewport around it, up to
        // the page box. A page moved within the viewport may repaint only
        // the viewport.
        for (QWidget *widget = m_page; widget && widget != w.get();
             widget = widget->parentWidget()) {
            m_watched.append(widget);
            widget->installEventFilter(&m_counter);
            if (widget->objectName() == QLatin1String("PicImage"))
                break;
        }
        settle();
        if (w->size() != kWindowSize)
            fail(QStringLiteral("the window is %1 x %2").arg(w->width()).arg(w->height()));
    }
    ~Window()
    {
        for (QWidget *widget : m_watched)
            widget->removeEventFilter(&m_counter);
        w.reset();
        settle();
    }
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    // A first run: a settings folder of its own, so no stored place is
    // restored (and nothing decoded ahead for it); the benchmark opens its
    // folders itself. The settings store keeps every file it opened for the
    // whole process, so only a new file is a fresh one.
    static void freshSettings()
    {
        static const QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
        static int windows = 0;
        qputenv("XDG_CONFIG_HOME",
                QFile::encodeName(base + QStringLiteral("/window-%1").arg(++windows)));
    }

    // Lets everything pending run: layout, paints, work queued by the reader.
    static void settle() { QTest::qWait(20); }

    // Opens the series folder as typing it does, then moves to the one-page
    // spacer chapter, so the chapter measured next has nothing decoded.
    void openSeries(const QString &folder)
    {
        w->OpenFolderAfterStartup(folder);
        settle();
        if (chapters()->currentText() != BenchInputs::spacerChapter())
            chooseChapter(BenchInputs::spacerChapter());
        settle();
    }

    QComboBox *chapters() const { return control<QComboBox>("cboChapters"); }
    QCheckBox *fitBox() const { return control<QCheckBox>("chkFitToWindow"); }
    qint16 page() const { return w->view().page; }

    int chapterIndex(const QString &name) const
    {
        // An archive's chapter is listed under its file name.
        for (int i = 0; i < chapters()->count(); ++i)
            if (chapters()->itemText(i) == name
                || chapters()->itemText(i) == name + QStringLiteral(".zip"))
                return i;
        fail(QStringLiteral("no chapter %1 in the list").arg(name));
    }

    // Runs `action`, then processes events until the page area has
    // painted; returns the time from the action's start to the end of that
    // event-loop pass, in ms.
    double untilPainted(const std::function<void()> &action)
    {
        const int before = m_counter.paints;
        // Wakes the loop now and then, so a paint that never comes is noticed.
        QTimer tick;
        tick.start(100);
        const QDeadlineTimer deadline(20000);
        const auto start = Clock::now();
        action();
        // At least one pass, as a key from the window system arrives by the
        // event loop: what the action queued runs before the next key even
        // when the page was painted within the action.
        QCoreApplication::processEvents();
        while (m_counter.paints == before) {
            if (deadline.hasExpired())
                fail(QStringLiteral("the page was not painted within 20 s"));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return msSince(start);
    }

    // A key press on whatever has the focus, as the user's keyboard gives it.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *target = QApplication::focusWidget();
        if (!target || target->window() != w.get())
            target = w.get();
        QTest::keyClick(target, key, modifiers);
    }

    // The next page, or in Two Pages the next spread (`pages` on from this one).
    double nextPage(int pages = 1)
    {
        const qint16 before = page();
        if (before >= w->view().pageCount)
            fail(QStringLiteral("no next page after %1").arg(before));
        const double ms = untilPainted([this] { press(Qt::Key_PageDown, Qt::ControlModifier); });
        if (page() != before + pages)
            fail(QStringLiteral("Ctrl+Page Down went from page %1 to %2").arg(before).arg(page()));
        return ms;
    }

    double chooseChapter(const QString &name)
    {
        const int index = chapterIndex(name);
        const double ms = untilPainted([&] { chapters()->setCurrentIndex(index); });
        if (page() != 1 || w->view().pageCount < 1)
            fail(QStringLiteral("chapter %1 did not open at its first page").arg(name));
        return ms;
    }

    // Two Pages on or off, for the series open (and remembered for it).
    void setTwoPages(bool on)
    {
        auto *entry = control<QAction>("mnuTwoPages");
        if (entry->isChecked() == on)
            return;
        if (page() > 0)
            untilPainted([entry] { entry->trigger(); });
        else
            entry->trigger();
        settle();
    }

    void setFit(bool on)
    {
        if (fitBox()->isChecked() == on)
            return;
        if (page() > 0)
            untilPainted([&] { fitBox()->setChecked(on); });
        else
            fitBox()->setChecked(on);
        settle();
    }

    std::unique_ptr<frmMain> w;

private:
    template <typename Control> Control *control(const char *name) const
    {
        auto *found = w->findChild<Control *>(QLatin1String(name));
        if (!found)
            fail(QStringLiteral("no control %1").arg(QLatin1String(name)));
        return found;
    }

    QWidget *m_page = nullptr;
    QList<QWidget *> m_watched;
    PaintCounter m_counter;
};

// The window that the benchmarks of one input share, in the order they are
// registered: it opens the chapter at its first page and moves on from there.
std::unique_ptr<Window> g_session;
QString g_sessionInput;

Window &session(const QString &input)
{
    if (g_session && g_sessionInput == input)
        return *g_session;
    g_session.reset();
    g_session = std::make_unique<Window>();
    g_sessionInput = input;
    g_session->openSeries(BenchInputs::seriesFolder(g_inputs));
    if (BenchInputs::chapter(input).name == input && g_session->chapters()->currentText() != input)
        g_session->chooseChapter(input);
    Window::settle();
    return *g_session;
}

void report(benchmark::State &state, const QString &input, double ms)
{
    state.SetIterationTime(ms / 1000.0);
    state.counters["ratio"] = ms / baselineFor(input);
}

// Opening the chapter at its first page in a new window: nothing decoded
// before, nothing decoded ahead.
void firstPage(benchmark::State &state, const QString &input, bool fit)
{
    baselineFor(input);
    g_session.reset();
    for (auto _ : state) {
        Window window;
        window.setFit(fit);
        window.openSeries(BenchInputs::seriesFolder(g_inputs));
        Window::settle();
        report(state, input, window.chooseChapter(input));
    }
}

// The next page after a second on the current one.
void nextAfterPause(benchmark::State &state, const QString &input)
{
    baselineFor(input);
    Window &window = session(input);
    window.setFit(false);
    for (auto _ : state) {
        QTest::qWait(1000);
        report(state, input, window.nextPage());
    }
}

// In Two Pages, the next spread (two pages) after a second on the current
// one; the chapter's pages are all tall, so every spread after the cover
// holds two.
void nextSpreadAfterPause(benchmark::State &state, const QString &input)
{
    baselineFor(input);
    Window &window = session(input);
    window.setFit(false);
    window.setTwoPages(true);
    for (auto _ : state) {
        QTest::qWait(1000);
        const int pages = window.page() == 1 ? 1 : 2;
        report(state, input, window.nextPage(pages));
    }
    window.setTwoPages(false);
}

// Twenty next pages, each pressed as soon as the one before is painted,
// after a second on the starting page.
void rapidPaging(benchmark::State &state, const QString &input)
{
    baselineFor(input);
    Window &window = session(input);
    window.setFit(false);
    QTest::qWait(1000);
    for (auto _ : state)
        report(state, input, window.nextPage());
}

// The same page again, after the window changed size (alternately to
// 1900 x 1060 and back).
void redisplayAfterResize(benchmark::State &state, const QString &input, bool fit)
{
    baselineFor(input);
    Window &window = session(input);
    window.setFit(fit);
    for (auto _ : state) {
        const QSize size = window.w->size() == kWindowSize ? kOtherSize : kWindowSize;
        QTest::qWait(200);
        report(state, input, window.untilPainted([&] { window.w->resize(size); }));
    }
}

// The same page again, one zoom step out and in alternately (from natural
// size: 0.8, 0.96, 0.768, ...), through the window's zoom handler (what Z,
// Shift+Z and the menus call). A page the reader will not zoom (it would
// overhang the viewport too far) has no figure.
void redisplayAfterZoom(benchmark::State &state, const QString &input)
{
    baselineFor(input);
    Window &window = session(input);
    window.setFit(false);
    if (window.w->size() != kWindowSize)
        window.untilPainted([&] { window.w->resize(kWindowSize); });
    static bool in = false;
    // Untimed: find a step the reader takes from here, and show its result.
    const auto zoom = [&] { window.press(Qt::Key_Z, in ? Qt::NoModifier : Qt::ShiftModifier); };
    const auto zoomNow = [&] { return window.w->view().zoom; };
    const double start = zoomNow();
    zoom();
    if (zoomNow() == start) {
        in = !in;
        zoom();
    }
    if (zoomNow() == start) {
        state.SkipWithError("the reader takes no zoom step on this page");
        return;
    }
    in = !in;
    Window::settle();
    for (auto _ : state) {
        const double before = zoomNow();
        QTest::qWait(200);
        const double ms = window.untilPainted(zoom);
        if (zoomNow() == before)
            fail(QStringLiteral("the zoom step was refused"));
        in = !in;
        report(state, input, ms);
    }
}

// From the one-page spacer chapter to the chapter, until its first page is
// painted.
void chapterChange(benchmark::State &state, const QString &input)
{
    baselineFor(input);
    Window &window = session(BenchInputs::spacerChapter());
    for (auto _ : state) {
        if (window.chapters()->currentText() != BenchInputs::spacerChapter())
            window.chooseChapter(BenchInputs::spacerChapter());
        QTest::qWait(200);
        report(state, input, window.chooseChapter(input));
    }
}

// The same in Two Pages: the first page stands alone, so only the first
// pages' headers are read before it shows.
void chapterChangeTwoPages(benchmark::State &state, const QString &input)
{
    baselineFor(input);
    Window &window = session(BenchInputs::spacerChapter());
    window.setTwoPages(true);
    for (auto _ : state) {
        if (window.chapters()->currentText() != BenchInputs::spacerChapter())
            window.chooseChapter(BenchInputs::spacerChapter());
        QTest::qWait(200);
        report(state, input, window.chooseChapter(input));
    }
    window.setTwoPages(false);
}

// In Two Pages, from the first page of the newly opened chapter to its last
// (the ">>" button): every page's header is read and the whole chapter split
// before the last spread shows, as on a restart at the end of a chapter.
void lastSpreadTwoPages(benchmark::State &state, const QString &input)
{
    baselineFor(input);
    Window &window = session(BenchInputs::spacerChapter());
    window.setTwoPages(true);
    auto *last = window.w->findChild<QPushButton *>(QStringLiteral("cmdNavigate(3)"));
    if (!last)
        fail(QStringLiteral("no last-page button"));
    for (auto _ : state) {
        if (window.chapters()->currentText() != BenchInputs::spacerChapter())
            window.chooseChapter(BenchInputs::spacerChapter());
        window.chooseChapter(input);
        QTest::qWait(200);
        report(state, input, window.untilPainted([last] { last->click(); }));
        if (window.page() < window.w->view().pageCount - 1)
            fail(QStringLiteral("the last button showed page %1").arg(window.page()));
    }
    window.setTwoPages(false);
}

// Opening the series folder of many chapters through the folder box: its
// chapter list filled, and the first chapter's one small page shown.
void loadChapterList(benchmark::State &state, const QString &input)
{
    baselineFor(input);
    Window &window = session(input);
    const QString folder = g_inputs + QLatin1Char('/') + input + QLatin1Char('/');
    for (auto _ : state) {
        window.w->OpenFolderAfterStartup(BenchInputs::seriesFolder(g_inputs));
        QTest::qWait(100);
        const auto start = Clock::now();
        window.w->OpenFolderAfterStartup(folder);
        QCoreApplication::processEvents();
        const double ms = msSince(start);
        if (window.chapters()->count() != BenchInputs::ManyChapters)
            fail(QStringLiteral("%1 chapters listed").arg(window.chapters()->count()));
        report(state, input, ms);
    }
}

// Pages through the whole chapter (28 pages; the first 28 of a long one),
// a tenth of a second on each, then reads the peak resident memory of the
// process. Meaningful when run alone in its process.
void peakMemory(benchmark::State &state, const QString &input, bool fit)
{
    static bool ranBefore = false;
    if (ranBefore || g_generatedHere)
        std::fprintf(stderr,
                     "bench_reader: the peak of %s includes earlier work of this "
                     "process; run it alone for an honest figure\n",
                     qPrintable(input));
    ranBefore = true;
    for (auto _ : state) {
        Window window;
        Window::settle();
        const double startMb = statusMb("VmRSS");
        window.setFit(fit);
        window.openSeries(BenchInputs::seriesFolder(g_inputs));
        double total = window.chooseChapter(input);
        const int pages = std::min<int>(window.w->view().pageCount, 28);
        for (int page = 2; page <= pages; ++page) {
            QTest::qWait(100);
            total += window.nextPage();
        }
        QTest::qWait(500);
        state.SetIterationTime(total / pages / 1000.0);
        state.counters["start_MB"] = startMb;
        state.counters["peak_MB"] = statusMb("VmHWM");
        state.counters["pages"] = pages;
    }
}

// ---------------------------------------------------------------------------

using Body = std::function<void(benchmark::State &)>;

void add(const QString &measure, const QString &input, int repetitions, int iterations, Body body)
{
    const std::string name = (measure + QLatin1Char('/') + input).toStdString();
    auto *b = benchmark::RegisterBenchmark(name.c_str(),
                                           [body](benchmark::State &state) { body(state); });
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(iterations);
    if (repetitions > 1)
        b->Repetitions(repetitions)->ReportAggregatesOnly(true);
}

// Registered in the order a person would meet them; the benchmarks of one
// input share one window, so run them in this order.
void registerBenchmarks()
{
    const QStringList pageInputs = {
        QStringLiteral("jpeg-1600-folder"), QStringLiteral("jpeg-1600-zip"),
        QStringLiteral("png-1600-folder"),  QStringLiteral("png-1600-zip"),
        QStringLiteral("jpeg-4000-folder"), QStringLiteral("jpeg-4000-zip"),
    };
    for (const QString &input : pageInputs) {
        add(QStringLiteral("baseline"), input, 7, 1, [input](auto &s) { baseline(s, input); });
        add(QStringLiteral("first_natural"), input, 5, 1,
            [input](auto &s) { firstPage(s, input, false); });
        add(QStringLiteral("first_fit"), input, 5, 1,
            [input](auto &s) { firstPage(s, input, true); });
        add(QStringLiteral("next_after_1s"), input, 5, 1,
            [input](auto &s) { nextAfterPause(s, input); });
        add(QStringLiteral("next_spread_after_1s"), input, 5, 1,
            [input](auto &s) { nextSpreadAfterPause(s, input); });
        add(QStringLiteral("next_rapid20"), input, 1, 20,
            [input](auto &s) { rapidPaging(s, input); });
        add(QStringLiteral("redisplay_resize"), input, 6, 1,
            [input](auto &s) { redisplayAfterResize(s, input, false); });
        add(QStringLiteral("redisplay_resize_fit"), input, 6, 1,
            [input](auto &s) { redisplayAfterResize(s, input, true); });
        add(QStringLiteral("redisplay_zoom"), input, 6, 1,
            [input](auto &s) { redisplayAfterZoom(s, input); });
    }
    for (const QString &input :
         {QStringLiteral("pages-2000-folder"), QStringLiteral("pages-2000-zip")}) {
        add(QStringLiteral("baseline"), input, 7, 1, [input](auto &s) { baseline(s, input); });
        add(QStringLiteral("chapter_change"), input, 5, 1,
            [input](auto &s) { chapterChange(s, input); });
        add(QStringLiteral("chapter_change_two_pages"), input, 5, 1,
            [input](auto &s) { chapterChangeTwoPages(s, input); });
        add(QStringLiteral("last_spread_two_pages"), input, 5, 1,
            [input](auto &s) { lastSpreadTwoPages(s, input); });
    }
    const QString many = BenchInputs::manyChaptersFolder();
    add(QStringLiteral("baseline"), many, 7, 1, [many](auto &s) { baseline(s, many); });
    add(QStringLiteral("load_chapter_list"), many, 5, 1,
        [many](auto &s) { loadChapterList(s, many); });
    QStringList peakInputs = pageInputs;
    peakInputs << QStringLiteral("pages-2000-folder") << QStringLiteral("pages-2000-zip");
    for (const QString &input : peakInputs) {
        add(QStringLiteral("peak_natural"), input, 1, 1,
            [input](auto &s) { peakMemory(s, input, false); });
        add(QStringLiteral("peak_fit"), input, 1, 1,
            [input](auto &s) { peakMemory(s, input, true); });
    }
}

// ---------------------------------------------------------------------------
// The summary table, from the JSON files of one or more runs.

struct Figure {
    double ms = -1;    // median (or mean over the iterations of one run)
    double peak = -1;  // MB
    double start = -1; // MB
};

QString measureText(const QString &measure)
{
    static const QMap<QString, QString> texts = {
        {QStringLiteral("first_natural"), QStringLiteral("first page, natural size")},
        {QStringLiteral("first_fit"), QStringLiteral("first page, Fit To Window")},
        {QStringLiteral("next_after_1s"), QStringLiteral("next page after 1 s")},
        {QStringLiteral("next_rapid20"), QStringLiteral("next page, 20 in a row (mean)")},
        {QStringLiteral("redisplay_resize"), QStringLiteral("redisplay after resize")},
        {QStringLiteral("redisplay_resize_fit"), QStringLiteral("redisplay after resize, Fit")},
        {QStringLiteral("redisplay_zoom"), QStringLiteral("redisplay after zoom step")},
        {QStringLiteral("chapter_change"), QStringLiteral("chapter change to it")},
        {QStringLiteral("next_spread_after_1s"), QStringLiteral("next spread after 1 s")},
        {QStringLiteral("chapter_change_two_pages"), QStringLiteral("chapter change, Two Pages")},
        {QStringLiteral("last_spread_two_pages"),
         QStringLiteral("last spread: whole chapter split")},
        {QStringLiteral("load_chapter_list"), QStringLiteral("LoadChapterList")},
    };
    return texts.value(measure, measure);
}

// The goal of a measure: a ratio to the baseline, or a time in ms.
struct Goal {
    double ratio = 0;
    double ms = 0;
};

Goal goalFor(const QString &measure, const QString &input)
{
    const bool zip = input.endsWith(QLatin1String("-zip"));
    if (measure == QLatin1String("first_fit") && input.startsWith(QLatin1String("jpeg-4000")))
        return {0.6, 0};
    if (measure.startsWith(QLatin1String("first_")))
        return {zip ? 1.4 : 1.2, 0};
    if (measure == QLatin1String("next_after_1s"))
        return {0.25, 0};
    if (measure == QLatin1String("next_rapid20"))
        return {0.8, 0};
    if (measure.startsWith(QLatin1String("redisplay_")))
        return {0.1, 0};
    if (measure == QLatin1String("chapter_change"))
        return {0, 30};
    if (measure == QLatin1String("next_spread_after_1s"))
        return {0, 20};
    if (measure == QLatin1String("chapter_change_two_pages"))
        return {0, 30};
    if (measure == QLatin1String("last_spread_two_pages"))
        return {0, 50};
    if (measure == QLatin1String("load_chapter_list"))
        return {0, 60};
    return {};
}

int printSummary(const QStringList &files)
{
    QStringList inputs;
    QStringList measures;
    QMap<QString, QMap<QString, Figure>> figures; // input -> measure -> figure
    QStringList notes;                            // benchmarks that gave no figure, and why
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "bench_reader: cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QJsonArray runs =
            QJsonDocument::fromJson(file.readAll())[QStringLiteral("benchmarks")].toArray();
        for (const QJsonValue &value : runs) {
            const QJsonObject run = value.toObject();
            if (run[QStringLiteral("error_occurred")].toBool()) {
                const QString note =
                    run[QStringLiteral("run_name")].toString().section(QLatin1Char('/'), 0, 1)
                    + QStringLiteral(": ") + run[QStringLiteral("error_message")].toString();
                if (!notes.contains(note))
                    notes.append(note);
                continue;
            }
            const bool aggregate = run[QStringLiteral("run_type")].toString()
                                   == QLatin1String("aggregate");
            if (aggregate
                && run[QStringLiteral("aggregate_name")].toString() != QLatin1String("median"))
                continue;
            const QStringList parts = run[QStringLiteral("run_name")].toString().split(
                QLatin1Char('/'));
            if (parts.size() < 2)
                continue;
            const QString &measure = parts[0];
            const QString &input = parts[1];
            if (!inputs.contains(input))
                inputs.append(input);
            if (!measures.contains(measure))
                measures.append(measure);
            Figure &figure = figures[input][measure];
            double ms = run[QStringLiteral("real_time")].toDouble();
            const QString unit = run[QStringLiteral("time_unit")].toString();
            if (unit == QLatin1String("us"))
                ms /= 1e3;
            else if (unit == QLatin1String("ns"))
                ms /= 1e6;
            else if (unit == QLatin1String("s"))
                ms *= 1e3;
            figure.ms = ms;
            if (run.contains(QStringLiteral("peak_MB")))
                figure.peak = run[QStringLiteral("peak_MB")].toDouble();
            if (run.contains(QStringLiteral("start_MB")))
                figure.start = run[QStringLiteral("start_MB")].toDouble();
        }
    }

    std::printf("\nTimes: median of the repetitions (20 in a row: mean per page), wall clock, ms.\n"
                "ratio = reader / baseline; baseline = decoding one page with the library alone\n"
                "(for chapters-5000: listing the folder with QDir alone).\n\n");
    std::printf("%-18s %-32s %11s %10s %8s %10s %5s\n", "input", "measure", "baseline ms",
                "reader ms", "ratio", "target", "met");
    for (const QString &input : inputs) {
        const double base = figures[input].value(QStringLiteral("baseline")).ms;
        for (const QString &measure : measures) {
            if (measure == QLatin1String("baseline") || measure.startsWith(QLatin1String("peak_"))
                || !figures[input].contains(measure))
                continue;
            const double ms = figures[input][measure].ms;
            const double ratio = base > 0 ? ms / base : -1;
            const Goal goal = goalFor(measure, input);
            QString target = QStringLiteral("-");
            QString met = QStringLiteral("-");
            if (goal.ratio > 0) {
                target = QStringLiteral("<= %1x").arg(goal.ratio, 0, 'f', 2);
                met = ratio >= 0 && ratio <= goal.ratio ? QStringLiteral("yes")
                                                        : QStringLiteral("no");
            } else if (goal.ms > 0) {
                target = QStringLiteral("< %1 ms").arg(goal.ms);
                met = ms < goal.ms ? QStringLiteral("yes") : QStringLiteral("no");
            }
            std::printf("%-18s %-32s %11.2f %10.2f %8.2f %10s %5s\n", qPrintable(input),
                        qPrintable(measureText(measure)), base, ms, ratio, qPrintable(target),
                        qPrintable(met));
        }
    }

    for (const QString &note : notes)
        std::printf("no figure: %s\n", qPrintable(note));

    std::printf("\nPeak resident memory (VmHWM) of a process that opened the chapter in a\n"
                "1920 x 1080 window and paged through it, 0.1 s a page; start = resident\n"
                "memory with the window up, before any page.\n\n");
    std::printf("%-18s %9s %16s %12s %9s  %s\n", "input", "start MB", "natural size MB",
                "per page ms", "Fit MB", "target");
    for (const QString &input : inputs) {
        const Figure natural = figures[input].value(QStringLiteral("peak_natural"));
        const Figure fit = figures[input].value(QStringLiteral("peak_fit"));
        if (natural.peak < 0 && fit.peak < 0)
            continue;
        QString target;
        if (input.startsWith(QLatin1String("jpeg-1600")))
            target = QStringLiteral("natural <= 130, Fit <= 120");
        else if (input.startsWith(QLatin1String("png-1600")))
            target = QStringLiteral("Fit <= 120");
        else if (input.startsWith(QLatin1String("jpeg-4000")))
            target = QStringLiteral("natural <= 1.4x before");
        std::printf("%-18s %9.1f %16.1f %12.1f %9.1f  %s\n", qPrintable(input),
                    natural.start >= 0 ? natural.start : fit.start, natural.peak, natural.ms,
                    fit.peak, qPrintable(target));
    }
    return 0;
}

// A private folder for the run: settings and temporary files go there, never
// to the user's own.
class PrivateEnvironment {
public:
    PrivateEnvironment()
    {
        const char *base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/pagora-bench-XXXXXX";
        if (!mkdtemp(pattern.data()))
            fail(QStringLiteral("cannot make a private folder"));
        m_root = pattern;
        for (const char *sub : {"config", "tmp", "home", "runtime"})
            std::filesystem::create_directories(m_root + "/" + sub);
        std::filesystem::permissions(m_root + "/runtime", std::filesystem::perms::owner_all);
        setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
        setenv("TMPDIR", (m_root + "/tmp").c_str(), 1);
        setenv("HOME", (m_root + "/home").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (m_root + "/runtime").c_str(), 1);
    }
    ~PrivateEnvironment()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    std::string root() const { return m_root; }

private:
    std::string m_root;
};

// The offscreen platform warns about every window it cannot give size hints
// to; nothing here depends on them.
QtMessageHandler g_defaultHandler = nullptr;

void quietMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.contains(QLatin1String("propagateSizeHints")) && g_defaultHandler)
        g_defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does, so that archives open as fast here as there.
    pinLocalTimeZone();
    // Our own options first; the rest go to Google Benchmark.
    QString generateInto;
    QString inputs;
    QStringList summaryFiles;
    bool summary = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--generate") && i + 1 < argc) {
            generateInto = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == QLatin1String("--inputs") && i + 1 < argc) {
            inputs = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == QLatin1String("--summary")) {
            summary = true;
        } else if (summary) {
            summaryFiles.append(arg);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (summary)
        return printSummary(summaryFiles);

    const PrivateEnvironment environment;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")
        && QDir(QStringLiteral("/usr/share/fonts")).exists())
        qputenv("QT_QPA_FONTDIR", "/usr/share/fonts");
    g_defaultHandler = qInstallMessageHandler(quietMessages);
    QApplication app(argc, argv);
    Prompts::install(std::make_unique<FailingPrompts>());

    if (!generateInto.isEmpty())
        return BenchInputs::isGenerated(generateInto) || BenchInputs::generate(generateInto) ? 0
                                                                                             : 1;
    // Before any input is written: --help prints and ends here.
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    QTemporaryDir ownInputs(QString::fromStdString(environment.root())
                            + QStringLiteral("/inputs-XXXXXX"));
    g_inputs = inputs.isEmpty() ? ownInputs.path() : QDir(inputs).absolutePath();
    if (!BenchInputs::isGenerated(g_inputs)) {
        g_generatedHere = true;
        if (!BenchInputs::generate(g_inputs))
            return 1;
    }

    FreeImage_Initialise(FALSE);
    registerBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_session.reset();
    FreeImage_DeInitialise();
    return 0;
}
