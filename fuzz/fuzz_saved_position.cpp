// Saved positions: any text parses without harm to a page in 1..32767, and
// formatSavedPosition(chapter, page) parses back to the same chapter and
// page for every chapter text and every page 1..32767.
// Input: two bytes for the page, then the chapter text as UTF-8.
#include "settings/SavedPosition.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

static void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_saved_position: %s\n", what);
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const auto raw = static_cast<quint16>(data[0] | data[1] << 8);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data) + 2,
                                           qsizetype(size - 2));

    // Any stored value, and any page text.
    const SavedPosition any = parseSavedPosition(text);
    check(any.page >= 1 && any.page <= 32767, "parsed page outside 1..32767");
    const qint16 page = pageFromText(text);
    check(page >= 1 && page <= 32767, "pageFromText outside 1..32767");
    formatSavedPosition(text, static_cast<qint16>(raw)); // any page, negative too

    // The round trip.
    const auto wanted = static_cast<qint16>(1 + raw % 32767);
    const SavedPosition back = parseSavedPosition(formatSavedPosition(text, wanted));
    check(back.chapter == text, "round trip changed the chapter");
    check(back.page == wanted, "round trip changed the page");
    return 0;
}
