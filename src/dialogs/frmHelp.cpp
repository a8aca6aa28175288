#include "dialogs/frmHelp.h"

#include "platform/PictureControls.h"
#include "platform/Twips.h"
#include "platform/WindowStyle.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <memory>

namespace {

constexpr int kClientWidth = 9315;
constexpr int kClientHeight = 5655;
constexpr int kLabelHeight = 195;

struct TopicEntry {
    const char *caption;
    int left, top, width;
    HelpTopics::Topic topic;
};

// The outline: level-1 entries start at 330, level-2 entries at 630. The
// two level-1 entries with sub-entries show their first sub-entry's text.
// A label without a buddy shows "&" as it stands, so it needs no doubling.
constexpr TopicEntry kTopics[9] = {
    {"General Information", 330, 50, 1635, HelpTopics::Topic::GeneralInformation},
    {"Setup / Configuration", 330, 350, 1635, HelpTopics::Topic::SpecifyingYourFolders},
    {"Specifying Your Folder", 630, 650, 1635, HelpTopics::Topic::SpecifyingYourFolders},
    {"Folder Organization", 630, 950, 1635, HelpTopics::Topic::FolderOrganization},
    {"Using The Program", 330, 1250, 1635, HelpTopics::Topic::NavigatingPages},
    {"Navigating Pages", 630, 1550, 1635, HelpTopics::Topic::NavigatingPages},
    {"Moving Around The Page", 630, 1850, 1875, HelpTopics::Topic::MovingAroundThePage},
    {"Navigating Chapters", 630, 2150, 1635, HelpTopics::Topic::NavigatingChapters},
    {"Zoom & Fit To Window", 630, 2450, 1635, HelpTopics::Topic::ZoomAndFitToWindow},
};

// Segments (x1, y1, x2, y2) in twips: a trunk at 150 with branches to the
// level-1 entries, and trunks at 450 with branches to their sub-entries.
constexpr int kOutline[12][4] = {
    {150, 150, 150, 1350},  {150, 150, 300, 150},   {150, 450, 300, 450},   {450, 450, 450, 1050},
    {450, 750, 600, 750},   {450, 1050, 600, 1050}, {150, 1350, 300, 1350}, {450, 1350, 450, 2550},
    {450, 1650, 600, 1650}, {450, 1950, 600, 1950}, {450, 2250, 600, 2250}, {450, 2550, 600, 2550},
};

void setBackground(QWidget *w, const QColor &colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
}

} // namespace

frmHelp::frmHelp(QWidget *parent) : QDialog(parent)
{
    // The resources live in a static library; make sure they are registered.
    Q_INIT_RESOURCE(pagora);
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Basic Instructions"));
    setWindowIcon(QIcon(QStringLiteral(":/pagora-viewer.png")));
    setFont(WindowStyle::controlFont());
    // The controls keep their places, so the window keeps its size.
    setFixedSize(Twips::toPixels(kClientWidth), Twips::toPixels(kClientHeight));
    createControls();
    Form_Load();
}

frmHelp::~frmHelp() = default;

void frmHelp::createControls()
{
    picHelp = new PictureBox(this);
    picHelp->setObjectName(QStringLiteral("picHelp"));
    Twips::move(picHelp, 120, 120, 2535, 3015);
    picHelp->setBorder(true);
    picHelp->setBackground(QApplication::palette().color(QPalette::HighlightedText));

    for (int i = 0; i < 9; ++i) {
        const TopicEntry &entry = kTopics[i];
        auto *label = new QLabel(QString::fromUtf8(entry.caption), picHelp->client());
        label->setObjectName(QStringLiteral("Label1(%1)").arg(i));
        Twips::move(label, entry.left, entry.top, entry.width, kLabelHeight);
        label->setAutoFillBackground(true);
        label->installEventFilter(this);
        Label1[i] = label;
    }

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Twips::move(Text1, 2760, 120, 6435, 5415);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Typing is dropped, but the keys that move through the text still
    // scroll it and select.
    Text1->setReadOnly(true);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Tab stops every eight average characters, as the sample layouts expect.
    Text1->setTabStopDistance(8 * QFontMetricsF(Text1->font()).averageCharWidth());
    QPalette pal = Text1->palette();
    pal.setColor(QPalette::Base, QColor(224, 224, 224));
    Text1->setPalette(pal);
}

void frmHelp::Form_Load()
{
    DrawOutline();
    Label1_Click(0);
}

// The lines go into the box's lasting image, so every repaint shows them.
void frmHelp::DrawOutline()
{
    QImage image(picHelp->client()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QPen(picHelp->client()->palette().color(QPalette::WindowText), 1));
    for (const auto &s : kOutline)
        painter.drawLine(Twips::toPixels(s[0]), Twips::toPixels(s[1]), Twips::toPixels(s[2]),
                         Twips::toPixels(s[3]));
    painter.end();
    picHelp->setImage(image);
}

void frmHelp::Label1_Click(qint16 Index)
{
    if (Index < 0 || Index >= qint16(Label1.size()))
        return;
    const QPalette &system = QApplication::palette();
    for (QLabel *label : Label1)
        setBackground(label, system.color(QPalette::HighlightedText));
    setBackground(Label1[Index], system.color(QPalette::Button));
    ShowTopic(kTopics[Index].topic);
}

void frmHelp::ShowTopic(HelpTopics::Topic topic)
{
    // The texts carry CR LF line breaks; the text box breaks on LF alone.
    QString text = HelpTopics::text(topic);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Text1->setPlainText(text);
}

bool frmHelp::eventFilter(QObject *watched, QEvent *event)
{
    // A label is clicked when the left button is released over it.
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        for (qint16 i = 0; i < qint16(Label1.size()); ++i) {
            if (watched == Label1[i] && mouse->button() == Qt::LeftButton
                && Label1[i]->rect().contains(mouse->position().toPoint())) {
                Label1_Click(i);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void showHelpWindow(QWidget *parent)
{
    auto window = std::make_unique<frmHelp>(parent);
    window->exec();
}
