#pragma once

#include <QFrame>
#include <QImage>
#include <QWidget>

// A picture box: a framed container that can take the focus and may keep a
// lasting image of its own, drawn at its top-left corner. Its controls live
// on client(), the area inside the border, which also clips them.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    QWidget *client() const { return m_client; }
    void setBorder(bool single);
    void setBackground(const QColor &colour);

    const QImage &image() const { return m_image; }
    void setImage(const QImage &image);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *m_client;
    QImage m_image;
};

// An image control: shows a picture, stretched to the control or, when not
// stretching, at its natural size with the control sized to fit it. It
// draws only the exposed part, so a large stretched page costs no more to
// paint than the viewport it shows through. Pictures are implicitly shared,
// so two controls showing one page hold one copy of its pixels.
class QPainter;

class ImageControl : public QWidget {
    Q_OBJECT
public:
    explicit ImageControl(QWidget *parent = nullptr);

    void setStretch(bool stretch);
    bool stretch() const { return m_stretch; }

    const QImage &picture() const { return m_picture; }
    void setPicture(const QImage &picture);
    // Two pictures side by side, for a stretching control: the first fills
    // its left `split` pixels, the second the rest, each stretched to its part.
    void setPictures(const QImage &left, const QImage &right, int split);
    void clearPicture();

signals:
    void mousePressed(QMouseEvent *event);
    void mouseMoved(QMouseEvent *event);
    void mouseReleased(QMouseEvent *event);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void markOpaque();
    static void drawStretched(QPainter &painter, const QRect &exposed, const QImage &picture,
                              const QRect &part);

    QImage m_picture;
    QImage m_right; // beside m_picture, from m_split on
    int m_split = 0;
    bool m_stretch = false;
};
