#pragma once

#include "dialogs/HelpTopics.h"

#include <QDialog>
#include <array>

class QLabel;
class QPlainTextEdit;
class PictureBox;

// The built-in user guide, captioned "Basic Instructions": an outline of
// nine topics on the left, the chosen topic's text on the right. It always
// opens on the first topic; nothing of it outlives the window.
class frmHelp : public QDialog {
    Q_OBJECT
public:
    explicit frmHelp(QWidget *parent = nullptr);
    ~frmHelp() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Marks the clicked topic and shows its text.
    void Label1_Click(qint16 Index);
    void createControls();
    void Form_Load();
    void DrawOutline();
    void ShowTopic(HelpTopics::Topic topic);

    // ---- Controls ----
    PictureBox *picHelp = nullptr;
    std::array<QLabel *, 9> Label1{};
    QPlainTextEdit *Text1 = nullptr;
};

// The help menu's "Basic Instructions": a fresh window, shown modally and
// deleted when it closes.
void showHelpWindow(QWidget *parent);
