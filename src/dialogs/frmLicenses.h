#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class PictureBox;

// Names the libraries the program really links, with their running
// versions, authors and web addresses.
class frmLicenses : public QDialog {
    Q_OBJECT
public:
    explicit frmLicenses(QWidget *parent = nullptr);
    ~frmLicenses() override;

    // Hides the window, which ends its modal display.
    void cmdOk_Click();

    static QString Introduction();
    static QString ImageLibraryLine();
    static QString ArchiveLibraryLine();

    // ---- Controls ----
    PictureBox *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *cmdOk = nullptr;

private:
    void Form_Load();
};
