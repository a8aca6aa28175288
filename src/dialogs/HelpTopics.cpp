#include "dialogs/HelpTopics.h"

#include <QStringList>

namespace HelpTopics {

namespace {

struct TopicText {
    const char *heading;
    // Paragraphs; a "\n" inside one breaks a line without a blank line.
    QStringList paragraphs;
};

// The sample layouts keep the "\" of the folder paths as they were written:
// they show the shape of a folder, not a path to type.
const TopicText &topicText(Topic topic)
{
    static const TopicText texts[Count] = {
        {"",
         {"The Pagora Viewer is a simple way to read the pagora chapters you have "
          "downloaded, instead of opening, sizing and closing the images one by one in a "
          "graphics browser.",
          "It shows each page in sequence, sized and placed for you, and keeps track of where "
          "you left off.",
          "The program remembers your pagora folders, the last chapter and the last page you "
          "viewed. On your next viewing, the program will start at the last page viewed."}},
        {"SPECIFYING YOUR FOLDERS",
         {"First tell the program where your downloaded images are. The images of each series "
          "belong in a folder of their own, on a hard disk or on a CD-ROM.",
          "Type the path of that folder in the text box labelled 'Pagora Chapters Folder', or "
          "click the 'Browse' button above it.",
          "In the browse dialog, double-click the folder so that it shows an 'Open Folder' "
          "icon; otherwise the folder above it is the one chosen.",
          "The program then fills the Chapters list with the chapter names, sorted, and shows "
          "the first page of the first chapter. See 'Folder Organization' for naming your "
          "chapters."}},
        {"FOLDER ORGANIZATION",
         {"A pagora folder holds either one sub-folder per chapter, with the pages inside as "
          "separate image files, or the chapter archives (zip) unexpanded, just as they were "
          "downloaded, or a mix of both. For example:",
          "               MyPagoraFolder\\Ch001\\Sorvik01-00.jpg\n"
          "\t\t\t\t\\Sorvik01-01.jpg\n"
          "\t\t\t\t\\Sorvik01-02.jpg\n"
          "\t\t\t\t...\n"
          "               MyPagoraFolder\\Ch002\\Sorvik02-00.jpg\n"
          "\t\t\t\t\\Sorvik02-01.jpg",
          "or:",
          "             MyPagoraFolder\\Ch001.zip\n"
          "\t\t\t\\Ch002.zip\n"
          "\t\t\t\\Ch003.zip\n"
          "\t\t\t...",
          "Give your chapters meaningful names: the names are shown sorted in the Chapters "
          "list. Take care with numbered names such as Ch01, Ch02 and so on: Ch100 is sorted "
          "right after Ch10."}},
        {"NAVIGATING PAGES",
         {"The first page of the first chapter is shown as soon as the program knows your "
          "folder.",
          "The buttons \"<<  <  >  >>\" take you to the first, previous, next and last page of "
          "the chapter.",
          "Ctrl-PgDn pages forward and Ctrl-PgUp pages back.",
          "The right-click menu offers the next and the previous page, among others.",
          "The space bar also pages forward, and Backspace pages back.",
          "The current page number and the number of pages in the chapter are shown above the "
          "navigation buttons."}},
        {"MOVING AROUND THE PAGE",
         {"Full screen is recommended.",
          "A page larger than the screen can be moved with the scroll bars on the right and at "
          "the bottom, by dragging the image with the mouse, with Page-Up and Page-Down (up "
          "and down), and with the right and left arrow keys (right and left).",
          "Note: these keys don't move the page while the folder text box or the Chapters list "
          "has the focus, until a new page is shown.",
          "Note: depending on the size of your screen and of the page, the scroll bars, "
          "dragging and the keys may have no effect."}},
        {"NAVIGATING CHAPTERS",
         {"The first chapter is selected as soon as the program knows your folder.",
          "Pick any chapter from the Chapters list. Alt-PgUp goes to the previous chapter and "
          "Alt-PgDn to the next one.",
          "The right-click menu offers the next and the previous chapter, among others.",
          "A new chapter always starts at its first page."}},
        {"ZOOM & FIT TO WINDOW",
         {"Zooming in and out stretches or shrinks the page. 'Fit To Window' sizes the image "
          "to just fit the viewing area.",
          "'Z' zooms in and Shift-'Z' zooms out. The right-click menu offers Zoom In, Zoom Out "
          "and No Zoom (back to the normal size); the same three are in the 'View' menu.",
          "The 'Fit To Window' check box, its entry in the right-click menu and its entry in "
          "the 'View' menu turn the mode on and off.",
          "Note: while 'Fit To Window' is on, the zoom commands do nothing, and turning it off "
          "shows the page with 'No Zoom'.",
          "Note: typing Z or Shift-Z in the folder text box only types the letter."}},
    };
    return texts[static_cast<int>(topic)];
}

} // namespace

QString text(Topic topic)
{
    const TopicText &t = topicText(topic);
    QStringList parts;
    if (*t.heading)
        parts << QString::fromUtf8(t.heading);
    parts << t.paragraphs;
    QString whole = parts.join(QStringLiteral("\n\n"));
    whole.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return whole;
}

} // namespace HelpTopics
