#pragma once

#include <QRegularExpression>
#include <QString>

// A name pattern where "?" is any one character and "*" any run, and every
// other character stands for itself: brackets too, unlike a shell glob, since
// comic names often carry them. The whole name must match.
QRegularExpression wildcardExpression(const QString &pattern, Qt::CaseSensitivity sensitivity);
