#include "platform/PageMemory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

namespace PageMemory {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// Pictures smaller than this are left to the usual allocation.
constexpr size_t kSmallest = size_t(4) << 20;
// Enough for one 1600 x 2400 page: paging lets go of about one picture for
// each one it makes. A larger page is never kept.
constexpr size_t kMostKept = size_t(16) << 20;

struct Block {
    void *start;
    size_t bytes;
};

std::mutex g_mutex;
std::vector<Block> g_kept;
size_t g_keptBytes = 0;

size_t roundedUp(size_t bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

// A fresh mapping aligned to the huge page size, so that all of it can be
// backed by huge pages.
void *mapBlock(size_t bytes)
{
    const size_t padded = bytes + kHugePage;
    void *mapped = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1,
                          0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto base = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (base + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > base)
        ::munmap(mapped, aligned - base);
    const size_t tail = base + padded - (aligned + bytes);
    if (tail > 0)
        ::munmap(reinterpret_cast<void *>(aligned + bytes), tail);
    void *start = reinterpret_cast<void *>(aligned);
    // Only advice: where huge pages are off, the block is used as it is.
    ::madvise(start, bytes, MADV_HUGEPAGE);
    return start;
}

Block *takeBlock(size_t bytes)
{
    {
        const std::lock_guard lock(g_mutex);
        const auto kept = std::find_if(g_kept.begin(), g_kept.end(), [bytes](const Block &block) {
            return block.bytes == bytes;
        });
        if (kept != g_kept.end()) {
            Block *block = new Block(*kept);
            g_keptBytes -= kept->bytes;
            g_kept.erase(kept);
            return block;
        }
    }
    void *start = mapBlock(bytes);
    return start ? new Block{start, bytes} : nullptr;
}

void releaseBlock(void *info)
{
    Block *block = static_cast<Block *>(info);
    {
        const std::lock_guard lock(g_mutex);
        if (g_keptBytes + block->bytes <= kMostKept) {
            g_kept.push_back(*block);
            g_keptBytes += block->bytes;
            block->start = nullptr;
        }
    }
    if (block->start)
        ::munmap(block->start, block->bytes);
    delete block;
}

} // namespace

QImage picture(QSize size, QImage::Format format)
{
    if (size.isEmpty() || format == QImage::Format_Invalid)
        return QImage();
    // Lines as QImage lays them out itself: whole 32-bit words.
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 lineBytes = (qint64(size.width()) * depth + 31) / 32 * 4;
    if (lineBytes > std::numeric_limits<int>::max() / 2
        || lineBytes > std::numeric_limits<qint64>::max() / size.height())
        return QImage();
    // A small picture costs little to fault in, and would waste most of a
    // huge page: the usual allocation serves it.
    if (lineBytes * size.height() < qint64(kSmallest))
        return QImage(size, format);
    Block *block = takeBlock(roundedUp(size_t(lineBytes * size.height())));
    if (!block)
        return QImage();
    QImage image(static_cast<uchar *>(block->start), size.width(), size.height(), lineBytes, format,
                 releaseBlock, block);
    if (image.isNull())
        releaseBlock(block);
    return image;
}

qint64 bytesKept()
{
    const std::lock_guard lock(g_mutex);
    return qint64(g_keptBytes);
}

qint64 mostBytesKept()
{
    return qint64(kMostKept);
}

} // namespace PageMemory
