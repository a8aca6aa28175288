#include "app/frmMain.h"

#include "archive/ZipPages.h"
#include "archive/modUnZip.h"
#include "platform/FileSystem.h"
#include "platform/PrivateRunFolder.h"
#include "platform/Prompts.h"

#include <QComboBox>

void frmMain::BuildZipPageList(const QString &ChapterName)
{
    modUnZip::ZipMessageText.clear();
    PageNames = listZipPages(PagoraFolder + ChapterName);
    PageCount = static_cast<qint16>(PageNames.size());
    // An archive that can't be read at all (missing, not a zip, cut short)
    // would otherwise just look empty; say why.
    if (PageCount == 0 && !modUnZip::ZipMessageText.isEmpty())
        showMessage(QStringLiteral("Error Accessing Page"),
                    QStringLiteral("Unable to read the image zip archive: ") + PagoraFolder
                        + ChapterName + QStringLiteral("\r\n\r\nZip Information: \r\n")
                        + modUnZip::ZipMessageText,
                    PromptIcon::Information);
}

QString frmMain::ExtractZipPage(const QString &MemberName, QByteArray *PageBytes)
{
    return extractZipPage(fileSys(), PagoraFolder + cboChapters->currentText(), MemberName,
                          AppFolder, PageBytes);
}

bool frmMain::haveRunFolder(const QString &memberName)
{
    // Made at load; a TMPDIR that refused it then is tried again, and when
    // it still refuses, the archive message says where and why.
    if (!AppFolder.isEmpty())
        return true;
    m_runFolder = std::make_unique<PrivateRunFolder>();
    AppFolder = m_runFolder->path();
    if (!AppFolder.isEmpty())
        return true;
    modUnZip::ZipMessageText.clear();
    sayInZipMessage(
        QStringLiteral("  error: %1  not extracted (%2)").arg(memberName, m_runFolder->failure()));
    return false;
}
