// Saved positions: any text parses without harm to a page in 1..32767, and any chapter
// text with any page 1..32767 goes through formatSavedPosition and back unchanged.
// Input: two bytes for the page, then the chapter text as UTF-8.
#include "FuzzTarget.h"
#include "settings/SavedPosition.h"

void fuzzOne(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return;
    const auto raw = quint16(quint8(bytes[0]) | quint8(bytes[1]) << 8);
    const QString text = QString::fromUtf8(bytes.mid(2));
    require(parseSavedPosition(text).page >= 1 && pageFromText(text) >= 1, "a page below 1");
    formatSavedPosition(text, qint16(raw)); // any page, negative too

    const auto wanted = qint16(1 + raw % 32767);
    const SavedPosition back = parseSavedPosition(formatSavedPosition(text, wanted));
    require(back.chapter == text && back.page == wanted, "the round trip changed the position");
}
