#pragma once

#include "panel/CommandTables.h"

#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace orva {

class LogoImage;
class PanelButton;

// Every control the window's code touches, resolved once after the controls
// are built. A control missing from the window, or of another kind, stops
// the program at start with its name, never a null pointer later.
struct PanelControls
{
    LogoImage* logo;
    QPushButton* portSettingsButton;
    QWidget* settingsFrame;
    QRadioButton* com1;
    QRadioButton* com2;
    QRadioButton* speed19200;
    QRadioButton* speed9600;
    QLabel* transmitLine;
    QLabel* receiveLine;
    QLabel* statusLine;
    PanelButton* dataToggle;
    QLineEdit* commandLine;
    QPushButton* sendButton;
    QPushButton* clearButton;
    QPushButton* endButton;
    // The command buttons with their rows of the command tables.
    std::vector<std::pair<QPushButton*, const CatalogueEntry*>> catalogue;
    std::vector<std::pair<QPushButton*, const HeldEntry*>> held;

    static PanelControls resolve(const QWidget& window);
};

} // namespace orva
