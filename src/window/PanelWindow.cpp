#include "window/PanelWindow.h"

#include "orva/Version.h"
#include "panel/PanelEngine.h"
#include "window/ControlIds.h"
#include "window/Controls.h"
#include "window/HoldButtons.h"
#include "window/Layout.h"
#include "window/Logo.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace orva {

namespace {

// The colours of the classic desktop the panel was drawn for: light grey
// faces, white highlights, grey and black shadows, black text. The window
// uses them whatever the desktop theme, so its own colours always read.
QPalette classicPalette()
{
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    const QColor face(192, 192, 192);
    QPalette palette(black, face, white, QColor(128, 128, 128), QColor(160, 160, 160), black, white, white, face);
    palette.setColor(QPalette::Midlight, QColor(223, 223, 223));
    palette.setColor(QPalette::Shadow, black);
    palette.setColor(QPalette::ButtonText, black);
    return palette;
}

// The narrowest character a display line can show in the label's font. A
// line holds rendered text: printable ASCII (blank to 'z') only.
qreal narrowestShownCharacter(const QLabel* label)
{
    const QFontMetricsF metrics(label->font());
    qreal narrowest = metrics.horizontalAdvance(QLatin1Char(' '));
    for (char16_t c = 33; c <= 122; ++c)
        narrowest = std::min(narrowest, metrics.horizontalAdvance(QChar(c)));
    return std::max(narrowest, qreal(0.5));
}

// The leading part of a display line's text that its label can show. A
// line can hold a whole reply buffer rendered, 65,535 characters, far more
// than the one line a label shows; laying all of them out at every
// notification would cost tens of milliseconds. No more characters than the
// label's width over the narrowest character can be in view; a quarter
// more and a few besides leave room for kerning. The reply window keeps
// the whole text, which the decoding reads.
QString visiblePart(const QLabel* label, qreal narrowest, const QString& text)
{
    const auto room = qsizetype(std::ceil(1.25 * label->width() / narrowest)) + 8;
    return text.size() <= room ? text : text.left(room);
}

} // namespace

const QString PanelWindow::Caption
    = QStringLiteral("ORVA   TK500 / TK600  CONTROL   Ver.") + QLatin1String(VersionText);

PanelWindow::PanelWindow(PanelEngine& engine, Warner warn, QWidget* parent)
    : QWidget(parent)
    , m_engine(engine)
    , m_warn(std::move(warn))
{
    setObjectName(QLatin1String(ControlId::Window));
    setWindowTitle(Caption);
    setWindowIcon(programIcon());
    // Fixed single border: a title bar with the system menu, minimise and
    // close, but no maximise, and a size the user cannot change.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setPalette(classicPalette());
    setAutoFillBackground(true);
    setFont(fontFor(FontKey::W));

    const std::vector<QWidget*> tabStops = buildControls(this, windowLayout());
    m_controls = PanelControls::resolve(*this);
    bindControls();
    // The window is as tall as its design until start() shrinks it.
    m_engine.dataPanel().setOuterHeight(DesignOuterHeightTwips);

    // The focus starts on the first control in the tab order that can take it.
    for (QWidget* stop : tabStops) {
        if (stop->isVisibleTo(this)) {
            stop->setFocus();
            break;
        }
    }
}

PanelWindow::~PanelWindow() = default;

void PanelWindow::bindControls()
{
    const PanelControls& c = m_controls;
    ReplyWindow& replies = m_engine.replies();
    PortSelection& ports = m_engine.ports();
    DataPanel& dataPanel = m_engine.dataPanel();

    const std::pair<TrafficLine, QLabel*> lines[] = {{TrafficLine::Transmit, c.transmitLine},
        {TrafficLine::Receive, c.receiveLine}, {TrafficLine::Status, c.statusLine}};
    for (const auto& [line, label] : lines) {
        label->setTextFormat(Qt::PlainText); // received text is never markup
        // The narrowest character is measured at the first text the line
        // gets, not at start: the lines are out of sight until the data
        // panel is opened, and measuring loads their fonts.
        connect(&replies, &ReplyWindow::lineChanged, label,
            [label = label, line = line, narrowest = qreal(0)](TrafficLine changed, const QString& text) mutable {
                if (changed != line)
                    return;
                if (narrowest == 0)
                    narrowest = narrowestShownCharacter(label);
                label->setText(visiblePart(label, narrowest, text));
            });
    }

    // Option buttons form one group per direct container. Qt's automatic
    // grouping takes in the options of nested frames too, so "COM1" would
    // count "19200" of the inner frame as its rival: a click on the checked
    // "COM1" would uncheck it. Explicit groups keep the pairs apart.
    QHash<QWidget*, QButtonGroup*> groups;
    for (QRadioButton* option : findChildren<QRadioButton*>()) {
        QButtonGroup*& group = groups[option->parentWidget()];
        if (!group)
            group = new QButtonGroup(option->parentWidget());
        group->addButton(option);
    }
    // A click on an option runs its choice even when it is checked already.
    connect(c.com1, &QRadioButton::clicked, &ports, [&ports] { ports.choosePort(Port::Com1); });
    connect(c.com2, &QRadioButton::clicked, &ports, [&ports] { ports.choosePort(Port::Com2); });
    connect(c.speed19200, &QRadioButton::clicked, &ports, [&ports] { ports.chooseSpeed(LineSpeed::Baud19200); });
    connect(c.speed9600, &QRadioButton::clicked, &ports, [&ports] { ports.chooseSpeed(LineSpeed::Baud9600); });
    connect(c.portSettingsButton, &QPushButton::clicked, &ports, &PortSelection::showSettings);
    connect(&ports, &PortSelection::settingsFrameVisibleChanged, c.settingsFrame, &QWidget::setVisible);
    connect(&ports, &PortSelection::warning, this, [this](const LineError& error) { m_warn(this, error.text); });
    // Which line each port choice stands for; nothing on screen moves.
    for (const auto& [option, port] : {std::pair{c.com1, Port::Com1}, std::pair{c.com2, Port::Com2}}) {
        const QString line = portName(port) + QStringLiteral(": ") + ports.names().device(port);
        option->setToolTip(line);
        option->setAccessibleDescription(line);
    }

    connect(c.logo, &LogoImage::doubleClicked, &dataPanel, &DataPanel::logoDoubleClicked);
    connect(c.dataToggle, &QPushButton::clicked, &dataPanel, &DataPanel::toggle);
    connect(&dataPanel, &DataPanel::outerHeightChanged, this, &PanelWindow::applyOuterHeight);
    connect(&dataPanel, &DataPanel::toggleChanged, c.dataToggle,
        [toggle = c.dataToggle](const QString& caption, bool visible) {
            // The caption is also the button's spoken name.
            toggle->setCaption(caption);
            toggle->setVisible(visible);
        });

    bindCommandButtons();

    // Key preview: the application hands every key press to this filter
    // before the control it is meant for.
    qApp->installEventFilter(this);
}

void PanelWindow::bindCommandButtons()
{
    CommandPanel& commands = m_engine.commands();
    for (const auto& [button, entry] : m_controls.catalogue)
        connect(button, &QPushButton::clicked, this, [&commands, entry = entry] { commands.click(*entry); });

    // Held buttons answer the mouse alone: no click handler, and a keyboard
    // activation sends nothing.
    auto* hold = new HoldButtons(this);
    for (const auto& [button, entry] : m_controls.held)
        hold->add(
            button, [&commands, entry = entry] { commands.press(*entry); },
            [&commands, entry = entry] { commands.release(*entry); });

    QLineEdit* commandLine = m_controls.commandLine;
    connect(m_controls.sendButton, &QPushButton::clicked, this,
        [&commands, commandLine] { commands.sendTyped(commandLine->text()); });
    connect(m_controls.clearButton, &QPushButton::clicked, commandLine, &QLineEdit::clear);
    connect(m_controls.endButton, &QPushButton::clicked, this, &QWidget::close);
}

void PanelWindow::applyOuterHeight(int twips)
{
    // The client area is the outer height less the nominal title bar and
    // borders, whatever the window manager draws, so the same bands of
    // controls are in view on every desktop.
    setFixedSize(twipsToPixels(ClientWidthTwips), clientPixelsForOuterHeight(twips));
}

bool PanelWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* receiver = static_cast<QWidget*>(watched);
        if (receiver->window() == this)
            previewKey(receiver, static_cast<const QKeyEvent*>(event));
    }
    return false; // never consumed: the control still gets the key
}

void PanelWindow::previewKey(QWidget* receiver, const QKeyEvent* event)
{
    // A key press that a control ignores travels on to its containers, up to
    // the window, passing the application's filters at each step. Only its
    // first step is a new key press.
    const bool handedUp = event == m_previewedEvent && m_previewedAt && receiver == m_previewedAt->parentWidget();
    m_previewedEvent = event;
    m_previewedAt = receiver;
    if (handedUp)
        return;
    m_engine.dataPanel().keyPressed(event->keyCombination());
}

void PanelWindow::start()
{
    // Centred horizontally; vertically where a window of the full design
    // height would be centred, then shrunk to the main band with the top
    // edge kept, so that opening the whole panel later grows it downwards
    // into the centre. Not clamped to the screen.
    const QSize screenPixels = screen()->geometry().size();
    m_startPosition = startPosition(QSizeF(screenPixels) * TwipsPerPixel);
    move(int(std::lround(m_startPosition.x() / TwipsPerPixel)), int(std::lround(m_startPosition.y() / TwipsPerPixel)));

    // COM1 is checked as the start chooses it; "19200" is checked from the
    // control table.
    m_controls.com1->setChecked(true);
    m_engine.start();
}

void PanelWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window ends the program like "END": the line is closed and
    // nothing is sent on the way out. The closed window handles no further
    // events: the engine's timers stop and the line is no longer listened
    // to. With the last window closed the application quits with status 0.
    m_engine.end();
    event->accept();
}

} // namespace orva
