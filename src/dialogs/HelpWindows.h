#pragma once

class QWidget;

// The Help menu's windows: each call makes a fresh window, shows it modally
// and releases it when it closes.
void showHelpWindow(QWidget *parent);
void showAboutWindow(QWidget *parent);
