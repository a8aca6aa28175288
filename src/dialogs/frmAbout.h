#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class ImageControl;
class PictureBox;

// The program's name, version and origin, with buttons to close, to start
// the system information tool and to show the licences.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
    ~frmAbout() override;

    // The title as built, with its CR LF line breaks; lblTitle shows it with
    // LF alone.
    const QString &titleText() const { return m_titleText; }

    void cmdOK_Click();
    void cmdSysInfo_Click();
    // A fresh licences window each time, shown modally, deleted when it closes.
    void cmdLicense_Click();

    // Starts the system information tool the registry names, or says it can't.
    void StartSysInfo();
    // Reads one registry value as text: true when it was read. A text value
    // loses its closing zero byte, a 32-bit number becomes decimal text, any
    // other type leaves KeyVal as it was; a missing key or value empties it.
    static bool GetKeyValue(qint32 &KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                            QString &KeyVal);

    // Starts a program by its path, true when it runs. QProcess::startDetached
    // unless another starter is installed (tests); an empty one restores it.
    using ProgramStarter = std::function<bool(const QString &path)>;
    static void setProgramStarter(ProgramStarter starter);

    // Esc presses OK, as the window's cancel button.
    void reject() override;

    // ---- Controls ----
    PictureBox *Picture1 = nullptr;
    QLabel *lblTitle = nullptr;
    ImageControl *Image1 = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdLicense = nullptr;

private:
    void createControls();
    void Form_Load();

    QString m_titleText;
};

// The help menu's "About": a fresh window, shown modally and deleted when it
// closes.
void showAboutWindow(QWidget *parent);
