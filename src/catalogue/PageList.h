#pragma once

#include <QString>
#include <QStringList>

// Which files of a chapter folder are pages, and in which order.
namespace PageList {

// A page's name ends in ".BMP", ".JPG", ".GIF" or ".PNG", in any case; the
// last four characters decide, so ".jpeg" is no page and ".png" alone is one.
// A name ending in ".WEBP", in any case, is a page too.
bool isFolderPageName(const QString &fileName);

// The page names among the files, in the name order, at most 32,767 (the
// first ones met).
QStringList folderPageNames(const QStringList &fileNames);

} // namespace PageList
