#include "app/frmMain.h"

void frmMain::Form_KeyDown(qint16 &KeyCode, qint16 Shift)
{
    // The key table arrives with the reading commands; until then every key
    // goes on to the focused control.
    Q_UNUSED(KeyCode);
    Q_UNUSED(Shift);
}
