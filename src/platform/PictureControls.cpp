#include "platform/PictureControls.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

// The inside of a picture box: paints the lasting image, if any.
class PictureClient : public QWidget {
public:
    PictureClient(QWidget *parent, const QImage *image) : QWidget(parent), m_image(image) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (m_image->isNull())
            return;
        QPainter painter(this);
        painter.drawImage(0, 0, *m_image);
    }

private:
    const QImage *m_image;
};

} // namespace

PictureBox::PictureBox(QWidget *parent)
    : QFrame(parent), m_client(new PictureClient(this, &m_image))
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    m_client->setAutoFillBackground(true);
    m_client->setGeometry(contentsRect());
}

void PictureBox::setBorder(bool single)
{
    setFrameStyle(single ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
    setLineWidth(single ? 2 : 0);
    m_client->setGeometry(contentsRect());
}

void PictureBox::setBackground(const QColor &colour)
{
    QPalette pal = m_client->palette();
    pal.setColor(QPalette::Window, colour);
    m_client->setPalette(pal);
}

void PictureBox::setImage(const QImage &image)
{
    m_image = image;
    m_client->update();
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    m_client->setGeometry(contentsRect());
}

ImageControl::ImageControl(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void ImageControl::setStretch(bool stretch)
{
    m_stretch = stretch;
    markOpaque();
    update();
}

void ImageControl::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_right = QImage();
    if (!m_stretch && !m_picture.isNull())
        resize(m_picture.size());
    markOpaque();
    update();
}

void ImageControl::setPictures(const QImage &left, const QImage &right, int split)
{
    m_picture = left;
    m_right = right;
    m_split = split;
    markOpaque();
    update();
}

void ImageControl::markOpaque()
{
    // A stretched picture covers the whole control: when it has no
    // transparency, what lies behind it need not be painted first.
    setAttribute(Qt::WA_OpaquePaintEvent, m_stretch && !m_picture.isNull()
                                              && !m_picture.hasAlphaChannel()
                                              && !m_right.hasAlphaChannel());
}

void ImageControl::clearPicture()
{
    m_picture = QImage();
    m_right = QImage();
    markOpaque();
    update();
}

void ImageControl::paintEvent(QPaintEvent *event)
{
    if (m_picture.isNull() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    if (!m_stretch) {
        painter.drawImage(0, 0, m_picture);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (m_right.isNull()) {
        drawStretched(painter, event->rect(), m_picture, rect());
        return;
    }
    drawStretched(painter, event->rect(), m_picture, QRect(0, 0, m_split, height()));
    drawStretched(painter, event->rect(), m_right, QRect(m_split, 0, width() - m_split, height()));
}

void ImageControl::drawStretched(QPainter &painter, const QRect &exposed, const QImage &picture,
                                 const QRect &part)
{
    // Map the exposed part back onto the picture and scale only that part.
    const QRectF target = exposed.intersected(part);
    if (target.isEmpty() || part.isEmpty())
        return;
    const double sx = double(picture.width()) / part.width();
    const double sy = double(picture.height()) / part.height();
    const QRectF source((target.x() - part.x()) * sx, (target.y() - part.y()) * sy,
                        target.width() * sx, target.height() * sy);
    painter.drawImage(target, picture, source);
}

void ImageControl::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(event);
}

void ImageControl::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved(event);
}

void ImageControl::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseReleased(event);
}
