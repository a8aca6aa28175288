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
    if (!m_stretch && !m_picture.isNull())
        resize(m_picture.size());
    markOpaque();
    update();
}

void ImageControl::markOpaque()
{
    // A stretched picture covers the whole control: when it has no
    // transparency, what lies behind it need not be painted first.
    setAttribute(Qt::WA_OpaquePaintEvent,
                 m_stretch && !m_picture.isNull() && !m_picture.hasAlphaChannel());
}

void ImageControl::clearPicture()
{
    m_picture = QImage();
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
    // Map the exposed rectangle back onto the picture and scale only that part.
    const QRectF target = event->rect();
    const double sx = double(m_picture.width()) / width();
    const double sy = double(m_picture.height()) / height();
    const QRectF source(target.x() * sx, target.y() * sy, target.width() * sx,
                        target.height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, m_picture, source);
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
