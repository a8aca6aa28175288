#include "app/frmMain.h"

#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QScrollBar>

// The page lies at minus the scroll values: value 0 shows its left (top)
// edge, Max its right (bottom) edge.
void frmMain::hsImage_Change()
{
    Twips::setLeft(Image1, -hsImage->value());
}

void frmMain::vsImage_Change()
{
    Twips::setTop(Image1, -vsImage->value());
}
