#include "app/frmMain.h"

void frmMain::ShowPage(qint16 &PageNumber)
{
    if (PageNumber < 1 || PageNumber > PageCount)
        return;
}
