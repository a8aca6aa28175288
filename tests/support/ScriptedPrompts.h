#pragma once

#include "platform/Prompts.h"

#include <QList>
#include <QQueue>
#include <functional>

// Records every box the program shows and answers from a script; with the
// script empty a message box gets its default button and an input box is
// cancelled. Installed by the tests in place of the Qt dialogs.
class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        bool isInput = false;
        MessageRequest message;
        InputRequest input;
    };

    PromptResult message(const MessageRequest &request) override;
    InputAnswer input(const InputRequest &request) override;

    QList<Shown> shown;
    QQueue<PromptResult> messageAnswers;
    QQueue<InputAnswer> inputAnswers;
    std::function<void()> beforeMessage = [] {}; // runs as each message box is shown

    // Installs a fresh scripted set and returns it (owned by Prompts).
    static ScriptedPrompts *install();
};
