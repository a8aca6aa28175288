#pragma once

#include <QSize>

#include <utility>

// Two pages shown side by side as one picture: both at the same height, the
// taller page's, with no gap between them.
namespace SpreadPicture {

// The spread's natural size, for pages of these natural sizes.
QSize naturalSize(QSize first, QSize second);
// The size each page takes in a spread shown at `shown`: both as high as
// it, their widths in proportion, together exactly as wide as it.
std::pair<QSize, QSize> partSizes(QSize first, QSize second, QSize shown);

} // namespace SpreadPicture
