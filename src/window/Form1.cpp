#include "window/Form1.h"

#include "link/SerialComm.h"
#include "panel/HoldButtons.h"
#include "window/Controls.h"
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

// Key code of a key press as the window's key handler numbers keys: the
// letters (upper case), digits and blank keep their character codes; keys
// the panel does not look at are 0.
qint16 keyCodeOf(const QKeyEvent* event)
{
    const int key = event->key();
    return key >= 0x20 && key <= 0x7e ? qint16(key) : qint16(0);
}

// Shift state bits: Shift 1, Ctrl 2, Alt 4.
qint16 shiftStateOf(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    qint16 shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= DataPanel::ShiftBit;
    if (modifiers & Qt::ControlModifier)
        shift |= DataPanel::CtrlBit;
    if (modifiers & Qt::AltModifier)
        shift |= DataPanel::AltBit;
    return shift;
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
// more and a few besides leave room for kerning. TrafficLines keeps the
// whole text, which the decoding reads.
QString visiblePart(const QLabel* label, qreal narrowest, const QString& text)
{
    const auto room = qsizetype(std::ceil(1.25 * label->width() / narrowest)) + 8;
    return text.size() <= room ? text : text.left(room);
}

} // namespace

Form1::Form1(SerialComm& comm, Clock& clock, Warner warn, QWidget* parent)
    : QWidget(parent)
    , m_comm(comm)
    , m_warn(std::move(warn))
    , m_timers(clock)
    , m_link(m_state, comm, m_timers, m_lines)
    , m_trafficTimers(m_state, m_timers, m_lines)
    , m_ports(m_state, comm, m_timers,
          PortSelection::View{
              [this](bool visible) { control("Frame8")->setVisible(visible); },
              [this](const QString& text) { m_warn(this, text); },
          })
    , m_dataPanel(m_state, m_timers,
          DataPanel::View{
              [this] { return m_outerHeight; },
              [this](int twips) { setOuterHeightTwips(twips); },
              [this](const QString& caption) { control<PanelButton>("Command34")->setCaption(caption); },
              [this](bool visible) { control("Command34")->setVisible(visible); },
          })
    , m_panel(m_state, comm, m_timers, m_lines, m_link,
          CommandPanel::View{
              [this] { return control<QLineEdit>("Text1")->text(); },
              [this] { control<QLineEdit>("Text1")->clear(); },
              [this] { close(); },
          })
{
    setObjectName(QStringLiteral("Form1"));
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
    bindControls();
    // The window is as tall as its design until start-up shrinks it.
    setOuterHeightTwips(DesignOuterHeightTwips);

    // The focus starts on the first control in the tab order that can take it.
    for (QWidget* stop : tabStops) {
        if (stop->isVisibleTo(this)) {
            stop->setFocus();
            break;
        }
    }
}

Form1::~Form1() = default;

void Form1::bindControls()
{
    connect(&m_comm, &SerialComm::onComm, this, [this] { m_link.MSComm1_OnComm(); });
    m_link.setFaultHandler(
        [this](SerialComm::Event fault, const QString& description) { m_ports.lineFault(fault, description); });

    const std::pair<TrafficLines::Line, const char*> labels[] = {{TrafficLines::TransmitLine, "Label11"},
        {TrafficLines::ReceiveLine, "Label12"}, {TrafficLines::StatusLine, "Label22"}};
    for (const auto& [line, name] : labels) {
        QLabel* label = control<QLabel>(name);
        label->setTextFormat(Qt::PlainText); // received text is never markup
        // The narrowest character is measured at the first text the line
        // gets, not at start-up: the lines are out of sight until the data
        // panel is opened, and measuring loads their fonts.
        connect(&m_lines, &TrafficLines::changed, label,
            [label, line = line, narrowest = qreal(0)](TrafficLines::Line changed, const QString& text) mutable {
                if (changed != line)
                    return;
                if (narrowest == 0)
                    narrowest = narrowestShownCharacter(label);
                label->setText(visiblePart(label, narrowest, text));
            });
    }

    const std::pair<const char*, void (PortSelection::*)()> options[] = {
        {"Option1", &PortSelection::Option1_Click},
        {"Option2", &PortSelection::Option2_Click},
        {"Option9", &PortSelection::Option9_Click},
        {"Option10", &PortSelection::Option10_Click},
    };
    for (const auto& [name, handler] : options)
        connect(control<QRadioButton>(name), &QRadioButton::clicked, this,
            [this, handler = handler] { (m_ports.*handler)(); });
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
    connect(control<QPushButton>("Command33"), &QPushButton::clicked, this, [this] { m_ports.Command33_Click(); });

    connect(control<LogoImage>("Image1"), &LogoImage::doubleClicked, this, [this] { m_dataPanel.Image1_DblClick(); });
    connect(control<QPushButton>("Command34"), &QPushButton::clicked, this, [this] { m_dataPanel.Command34_Click(); });
    bindCommandPanel();

    // Key preview: the application hands every key press to this filter
    // before the control it is meant for.
    qApp->installEventFilter(this);
}

void Form1::setOuterHeightTwips(int twips)
{
    m_outerHeight = twips;
    setFixedSize(twipsToPixels(ClientWidthTwips), clientPixelsForOuterHeight(twips));
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* receiver = static_cast<QWidget*>(watched);
        if (receiver->window() == this)
            previewKey(receiver, static_cast<const QKeyEvent*>(event));
    }
    return false; // never consumed: the control still gets the key
}

void Form1::previewKey(QWidget* receiver, const QKeyEvent* event)
{
    // A key press that a control ignores travels on to its containers, up to
    // the window, passing the application's filters at each step. Only its
    // first step is a new key press.
    const bool handedUp = event == m_previewedEvent && m_previewedAt && receiver == m_previewedAt->parentWidget();
    m_previewedEvent = event;
    m_previewedAt = receiver;
    if (handedUp)
        return;
    m_dataPanel.Form_KeyDown(keyCodeOf(event), shiftStateOf(event));
}

void Form1::bindCommandPanel()
{
    for (const CatalogueEntry& button : CommandCatalogue)
        connect(control<QPushButton>(button.control), &QPushButton::clicked, this,
            [this, &button] { m_panel.click(button); });

    // Held buttons answer the mouse alone: no click handler, and a keyboard
    // activation sends nothing.
    auto* hold = new HoldButtons(this);
    for (const HeldEntry& button : HoldTable)
        hold->add(
            control<QPushButton>(button.control), [this, &button] { m_panel.mouseDown(button); },
            [this, &button] { m_panel.mouseUp(button); });

    connect(control<QPushButton>("Command95"), &QPushButton::clicked, this, [this] { m_panel.Command95_Click(); });
    connect(control<QPushButton>("Command96"), &QPushButton::clicked, this, [this] { m_panel.Command96_Click(); });
    connect(control<QPushButton>("Command16"), &QPushButton::clicked, this, [this] { m_panel.Command16_Click(); });
}

void Form1::checkOption(QRadioButton* option)
{
    if (option->isChecked())
        return;
    option->setChecked(true);
    Q_EMIT option->clicked(true);
}

void Form1::Form_Load()
{
    m_state.PortSettings = PortSelection::Settings19200;
    m_state.CommandPrefix = QString();

    // Centred horizontally; vertically where a window of the full design
    // height would be centred, then shrunk to the main band with the top
    // edge kept, so that opening the whole panel later grows it downwards
    // into the centre. Not clamped to the screen.
    const QSize screenPixels = screen()->geometry().size();
    m_startPosition = startPosition(QSizeF(screenPixels) * TwipsPerPixel);
    move(int(std::lround(m_startPosition.x() / TwipsPerPixel)), int(std::lround(m_startPosition.y() / TwipsPerPixel)));
    setOuterHeightTwips(CompactHeight);

    m_state.HeldCode = 0;
    m_state.AwaitingReply = 0;
    m_state.ReplyBuffer = QString();

    m_ports.openAtStartup();
    m_ports.setStartingUp(true);
    checkOption(control<QRadioButton>("Option1"));
    m_ports.setStartingUp(false);
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing the window ends the program like "END": the port is closed and
    // nothing is sent on the way out. The unloaded window handles no further
    // events: its timers stop and the line is no longer listened to. With
    // the last window closed the application quits with status 0.
    (void)m_comm.setPortOpen(false);
    for (auto* timer : {m_timers.Timer1.get(), m_timers.Timer2.get(), m_timers.Timer3.get(), m_timers.Timer4.get()})
        timer->setEnabled(false);
    disconnect(&m_comm, nullptr, this, nullptr);
    event->accept();
}

} // namespace orva
