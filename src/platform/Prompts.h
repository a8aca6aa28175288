#pragma once

#include <QString>
#include <memory>

class QWidget;

// Modal message and input boxes. The program asks through Prompts::current();
// the real implementation shows Qt dialogs, tests install a scripted one that
// records each box and answers it, so nothing blocks on a modal window.
enum class PromptIcon { None, Critical, Question, Exclamation, Information };
enum class PromptButtons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class PromptResult { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageRequest {
    QString title;
    QString text;
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::OK;
    int defaultButton = 0; // 0 = first button of the set
};

struct InputRequest {
    QString prompt;
    QString title;
    QString defaultText;
};

struct InputAnswer {
    bool accepted = false;
    QString text; // empty when cancelled
};

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptResult message(const MessageRequest &request) = 0;
    virtual InputAnswer input(const InputRequest &request) = 0;

    // The prompts in force; the Qt dialogs unless another set is installed.
    static Prompts &current();
    // Installs a replacement (tests); nullptr restores the Qt dialogs.
    static void install(std::unique_ptr<Prompts> prompts);
};

// The boxes the user sees, as Qt dialogs over the active window.
class DialogPrompts : public Prompts {
public:
    PromptResult message(const MessageRequest &request) override;
    InputAnswer input(const InputRequest &request) override;
};

// The program's title: the main window's caption, and the caption of the
// boxes that have no subject of their own.
inline QString programTitle()
{
    return QStringLiteral("Pagora Viewer");
}

// Shorthand for the common case: one OK button.
PromptResult showMessage(const QString &title, const QString &text, PromptIcon icon,
                         PromptButtons buttons = PromptButtons::OK, int defaultButton = 0);
