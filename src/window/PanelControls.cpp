#include "window/PanelControls.h"

#include "window/CommandButtons.h"
#include "window/ControlIds.h"
#include "window/Controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace orva {

namespace {

template <class T> T* require(const QWidget& window, const char* name)
{
    auto* control = window.findChild<T*>(QLatin1String(name));
    if (!control)
        qFatal("The window has no control %s of kind %s", name, T::staticMetaObject.className());
    return control;
}

} // namespace

PanelControls PanelControls::resolve(const QWidget& window)
{
    using namespace ControlId;
    PanelControls c{
        require<LogoImage>(window, Logo),
        require<QPushButton>(window, PortSettingsButton),
        require<QWidget>(window, SettingsFrame),
        require<QRadioButton>(window, Com1Option),
        require<QRadioButton>(window, Com2Option),
        require<QRadioButton>(window, Speed19200Option),
        require<QRadioButton>(window, Speed9600Option),
        require<QLabel>(window, TransmitLine),
        require<QLabel>(window, ReceiveLine),
        require<QLabel>(window, StatusLine),
        require<PanelButton>(window, DataToggle),
        require<QLineEdit>(window, CommandLine),
        require<QPushButton>(window, SendButton),
        require<QPushButton>(window, ClearButton),
        require<QPushButton>(window, EndButton),
        {},
        {},
    };
    c.catalogue.reserve(std::size(CommandCatalogue));
    c.held.reserve(std::size(HoldTable));
    for (const CommandButton& button : CommandButtons) {
        auto* control = require<QPushButton>(window, button.control);
        if (const CatalogueEntry* single = catalogueEntry(button.command))
            c.catalogue.emplace_back(control, single);
        else
            c.held.emplace_back(control, heldEntryOf(button.command));
    }
    return c;
}

} // namespace orva
