#include "ScriptedPrompts.h"

namespace {

PromptResult defaultAnswer(const MessageRequest &request)
{
    static const QList<QList<PromptResult>> sets = {
        {PromptResult::OK},
        {PromptResult::OK, PromptResult::Cancel},
        {PromptResult::Abort, PromptResult::Retry, PromptResult::Ignore},
        {PromptResult::Yes, PromptResult::No, PromptResult::Cancel},
        {PromptResult::Yes, PromptResult::No},
        {PromptResult::Retry, PromptResult::Cancel},
    };
    const auto &set = sets[static_cast<int>(request.buttons)];
    return set.value(request.defaultButton, set.front());
}

} // namespace

PromptResult ScriptedPrompts::message(const MessageRequest &request)
{
    shown.append({false, request, {}}), beforeMessage();
    return messageAnswers.isEmpty() ? defaultAnswer(request) : messageAnswers.dequeue();
}

InputAnswer ScriptedPrompts::input(const InputRequest &request)
{
    shown.append({true, {}, request});
    return inputAnswers.isEmpty() ? InputAnswer{} : inputAnswers.dequeue();
}

ScriptedPrompts *ScriptedPrompts::install()
{
    auto prompts = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts *raw = prompts.get();
    Prompts::install(std::move(prompts));
    return raw;
}
