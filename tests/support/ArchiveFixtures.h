#pragma once

#include "ZipFixtures.h"

// RAR and 7z chapters for the tests, written at run time: 7z with
// libarchive's writer, RAR 4 by hand (no Debian tool writes RAR), its
// members stored unpacked.
namespace ArchiveFixtures {

using ZipFixtures::Member;

// The members in order, folders and symbolic links as well; false with a
// warning on failure.
bool write7z(const QString &path, const QList<Member> &members);
bool writeRar(const QString &path, const QList<Member> &members);

} // namespace ArchiveFixtures
