#pragma once

#include <QString>

// The texts of the help window, one per topic. Each is plain text: a heading
// in capitals (the general information has none), a blank line, then
// paragraphs with blank lines between them; line breaks are CR LF pairs.
namespace HelpTopics {

enum class Topic {
    GeneralInformation,
    SpecifyingYourFolders,
    FolderOrganization,
    NavigatingPages,
    MovingAroundThePage,
    NavigatingChapters,
    ZoomAndFitToWindow,
};

inline constexpr int Count = 7;

// The whole text as the text box takes it.
QString text(Topic topic);

} // namespace HelpTopics
