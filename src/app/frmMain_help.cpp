#include "app/frmMain.h"

#include "dialogs/frmAbout.h"
#include "dialogs/frmHelp.h"

// Each opening is a fresh modal window, released when it closes.
void frmMain::mnuHelpBasic_Click()
{
    showHelpWindow(this);
}

void frmMain::mnuHelpAbout_Click()
{
    showAboutWindow(this);
}
