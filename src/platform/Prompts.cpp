#include "platform/Prompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QVector>

namespace {

std::unique_ptr<Prompts> &installed()
{
    static std::unique_ptr<Prompts> prompts;
    return prompts;
}

struct ButtonChoice {
    QMessageBox::StandardButton button;
    PromptResult result;
};

QVector<ButtonChoice> buttonsOf(PromptButtons set)
{
    using B = QMessageBox;
    switch (set) {
    case PromptButtons::OK: return {{B::Ok, PromptResult::OK}};
    case PromptButtons::OKCancel:
        return {{B::Ok, PromptResult::OK}, {B::Cancel, PromptResult::Cancel}};
    case PromptButtons::AbortRetryIgnore:
        return {{B::Abort, PromptResult::Abort},
                {B::Retry, PromptResult::Retry},
                {B::Ignore, PromptResult::Ignore}};
    case PromptButtons::YesNoCancel:
        return {{B::Yes, PromptResult::Yes},
                {B::No, PromptResult::No},
                {B::Cancel, PromptResult::Cancel}};
    case PromptButtons::YesNo: return {{B::Yes, PromptResult::Yes}, {B::No, PromptResult::No}};
    case PromptButtons::RetryCancel:
        return {{B::Retry, PromptResult::Retry}, {B::Cancel, PromptResult::Cancel}};
    }
    return {{B::Ok, PromptResult::OK}};
}

QMessageBox::Icon iconOf(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::None: return QMessageBox::NoIcon;
    case PromptIcon::Critical: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::Exclamation: return QMessageBox::Warning;
    case PromptIcon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Prompts &Prompts::current()
{
    static DialogPrompts dialogs;
    if (installed())
        return *installed();
    return dialogs;
}

void Prompts::install(std::unique_ptr<Prompts> prompts)
{
    installed() = std::move(prompts);
}

PromptResult DialogPrompts::message(const MessageRequest &request)
{
    // The texts carry CR LF line breaks; a Qt label breaks on LF alone.
    QString text = request.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(iconOf(request.icon), request.title, text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    const auto choices = buttonsOf(request.buttons);
    for (const auto &choice : choices)
        box.addButton(choice.button);
    const int defaultIndex = qBound(0, request.defaultButton, int(choices.size()) - 1);
    box.setDefaultButton(choices[defaultIndex].button);
    // Esc answers Cancel where there is one, otherwise the only button.
    for (const auto &choice : choices)
        if (choice.result == PromptResult::Cancel || choices.size() == 1)
            box.setEscapeButton(choice.button);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto &choice : choices)
        if (choice.button == pressed)
            return choice.result;
    return choices.size() == 1 ? choices.front().result : PromptResult::Cancel;
}

InputAnswer DialogPrompts::input(const InputRequest &request)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), request.title,
                                               request.prompt, QLineEdit::Normal,
                                               request.defaultText, &ok);
    if (!ok)
        return {};
    return {true, text};
}

PromptResult showMessage(const QString &title, const QString &text, PromptIcon icon,
                         PromptButtons buttons, int defaultButton)
{
    return Prompts::current().message({title, text, icon, buttons, defaultButton});
}
