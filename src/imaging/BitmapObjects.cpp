#include "imaging/BitmapObjects.h"

#include "platform/PictureControls.h"

#include <QHash>
#include <QPainter>
#include <QPointer>

#include <limits>

namespace modFreeImage {

namespace {

struct Object {
    qint32 type = ObjectType::None;
    QImage pixels;                // a bitmap's
    qint32 heldBy = 0;            // a bitmap's memory DC, if selected
    qint32 selected = 0;          // a memory DC's bitmap
    QPointer<PictureBox> surface; // a device context's
};

struct Registry {
    QHash<qint32, Object> objects;
    qint32 next = 1;
    qint32 stockBitmap = 0;

    qint32 add(Object object)
    {
        // Counting on rather than refilling gaps keeps a stale handle from
        // naming a newer object.
        for (;;) {
            const qint32 handle = next;
            next = next == std::numeric_limits<qint32>::max() ? 1 : next + 1;
            if (!objects.contains(handle)) {
                objects.insert(handle, std::move(object));
                return handle;
            }
        }
    }

    Object *find(qint32 handle, qint32 type)
    {
        const auto it = objects.find(handle);
        return it != objects.end() && it->type == type ? &*it : nullptr;
    }

    qint32 stock()
    {
        if (stockBitmap == 0) {
            QImage black(1, 1, QImage::Format_RGB32);
            black.fill(Qt::black);
            stockBitmap = add({ObjectType::Bitmap, black, 0, 0, {}});
        }
        return stockBitmap;
    }
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

// The pixels of a memory DC: those of the bitmap selected into it.
QImage *pixelsOf(Registry &reg, qint32 dc)
{
    const Object *memory = reg.find(dc, ObjectType::MemoryDC);
    Object *bitmap = memory ? reg.find(memory->selected, ObjectType::Bitmap) : nullptr;
    return bitmap ? &bitmap->pixels : nullptr;
}

// The lasting image of a surface, sized to the box's inside; what it held
// stays at its top-left, new area shows the background.
QImage canvasOf(PictureBox &box)
{
    const QSize size = box.contentsRect().size();
    QImage canvas = box.image();
    if (canvas.size() == size && canvas.format() == QImage::Format_RGB32)
        return canvas;
    QImage fresh(size, QImage::Format_RGB32);
    if (fresh.isNull())
        return fresh;
    fresh.fill(box.client()->palette().color(QPalette::Window));
    if (!canvas.isNull()) {
        QPainter painter(&fresh);
        painter.drawImage(0, 0, canvas);
    }
    return fresh;
}

bool paint(QImage &target, int x, int y, const QImage &source, const QRect &from, qint32 rop)
{
    QPainter painter(&target);
    if (!painter.isActive())
        return false;
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (rop == RasterOp::SourceCopy) {
        painter.drawImage(QPoint(x, y), source, from);
    } else {
        QImage part = source.copy(from);
        if (part.isNull())
            return false;
        part.invertPixels();
        painter.drawImage(QPoint(x, y), part);
    }
    return true;
}

} // namespace

qint32 CreateBitmapObject(const QImage &image)
{
    if (image.isNull())
        return 0;
    QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    if (pixels.isNull())
        return 0;
    return registry().add({ObjectType::Bitmap, std::move(pixels), 0, 0, {}});
}

QImage GetBitmapImage(qint32 bitmap)
{
    const Object *object = registry().find(bitmap, ObjectType::Bitmap);
    return object ? object->pixels : QImage();
}

qint32 GetObjectType(qint32 handle)
{
    const auto &objects = registry().objects;
    const auto it = objects.constFind(handle);
    return it == objects.cend() ? ObjectType::None : it->type;
}

qint32 CreateCompatibleDC()
{
    Registry &reg = registry();
    return reg.add({ObjectType::MemoryDC, {}, 0, reg.stock(), {}});
}

qint32 SelectObject(qint32 dc, qint32 object)
{
    Registry &reg = registry();
    Object *memory = reg.find(dc, ObjectType::MemoryDC);
    Object *bitmap = reg.find(object, ObjectType::Bitmap);
    if (!memory || !bitmap)
        return 0;
    const qint32 previous = memory->selected;
    if (previous == object)
        return previous;
    // Only the stock bitmap may sit in several DCs at once.
    const bool stock = object == reg.stockBitmap;
    if (!stock && bitmap->heldBy != 0)
        return 0;
    if (!stock)
        bitmap->heldBy = dc;
    if (Object *old = reg.find(previous, ObjectType::Bitmap); old && previous != reg.stockBitmap)
        old->heldBy = 0;
    memory->selected = object;
    return previous;
}

bool DeleteObject(qint32 object)
{
    Registry &reg = registry();
    const Object *bitmap = reg.find(object, ObjectType::Bitmap);
    if (!bitmap || bitmap->heldBy != 0 || object == reg.stockBitmap)
        return false;
    reg.objects.remove(object);
    return true;
}

bool DeleteDC(qint32 dc)
{
    Registry &reg = registry();
    const Object *memory = reg.find(dc, ObjectType::MemoryDC);
    if (!memory)
        return false;
    if (Object *bitmap = reg.find(memory->selected, ObjectType::Bitmap);
        bitmap && memory->selected != reg.stockBitmap)
        bitmap->heldBy = 0;
    reg.objects.remove(dc);
    return true;
}

qint32 GetDC(PictureBox &surface)
{
    return registry().add({ObjectType::DeviceContext, {}, 0, 0, &surface});
}

bool ReleaseDC(qint32 dc)
{
    Registry &reg = registry();
    if (!reg.find(dc, ObjectType::DeviceContext))
        return false;
    reg.objects.remove(dc);
    return true;
}

bool BitBlt(qint32 destDc, int x, int y, int w, int h, qint32 srcDc, int sx, int sy,
            qint32 rop, qint32 &error)
{
    error = 0;
    Registry &reg = registry();
    if (rop != RasterOp::SourceCopy && rop != RasterOp::NotSourceCopy) {
        error = BitmapError::InvalidParameter;
        return false;
    }

    // A value copy: drawing a DC onto itself must read the pixels as they were.
    QImage source;
    if (const QImage *pixels = pixelsOf(reg, srcDc)) {
        source = *pixels;
    } else if (const Object *window = reg.find(srcDc, ObjectType::DeviceContext);
               window && window->surface) {
        source = window->surface->image();
    } else {
        error = BitmapError::InvalidHandle;
        return false;
    }
    const QRect from = QRect(sx, sy, qMax(w, 0), qMax(h, 0)) & source.rect();
    const int toX = x + from.x() - sx;
    const int toY = y + from.y() - sy;

    if (QImage *pixels = pixelsOf(reg, destDc)) {
        if (from.isEmpty() || paint(*pixels, toX, toY, source, from, rop))
            return true;
        error = BitmapError::NotEnoughMemory;
        return false;
    }
    const Object *window = reg.find(destDc, ObjectType::DeviceContext);
    PictureBox *box = window ? window->surface.data() : nullptr;
    if (!box) {
        error = BitmapError::InvalidHandle;
        return false;
    }
    if (from.isEmpty() || box->contentsRect().isEmpty())
        return true;
    QImage canvas = canvasOf(*box);
    if (canvas.isNull()) {
        error = BitmapError::NotEnoughMemory;
        return false;
    }
    // Let go of the box's reference so painting doesn't copy the whole image.
    box->setImage(QImage());
    const bool painted = paint(canvas, toX, toY, source, from, rop);
    box->setImage(canvas);
    if (!painted)
        error = BitmapError::NotEnoughMemory;
    return painted;
}

int liveBitmapObjects()
{
    const Registry &reg = registry();
    return int(reg.objects.size()) - (reg.stockBitmap != 0 ? 1 : 0);
}

} // namespace modFreeImage
