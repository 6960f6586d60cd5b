#pragma once

class QWidget;

// Creates the main window that Main shows last (not yet shown, deleted when closed).
QWidget* createMainWindow();
