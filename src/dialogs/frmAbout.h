#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class ImageControl;
class PictureBox;

// The program's name, version and origin, with buttons to close, to ask for
// the system information and to show the licences.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
    ~frmAbout() override;

    // Esc presses OK, as the window's cancel button.
    void reject() override;

private:
    void createControls();
    void Form_Load();
    void cmdOK_Click();
    // There is no system information tool to start here: the box says so.
    void cmdSysInfo_Click();
    // A fresh licences window each time, shown modally, deleted when it closes.
    void cmdLicense_Click();

    // ---- Controls ----
    PictureBox *Picture1 = nullptr;
    QLabel *lblTitle = nullptr;
    ImageControl *Image1 = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdLicense = nullptr;
};

// The help menu's "About": a fresh window, shown modally and deleted when it
// closes.
void showAboutWindow(QWidget *parent);
