#include "window/Form1.h"

#include "link/SerialComm.h"
#include "window/Layout.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace orva {

namespace {
constexpr int ClientWidthTwips = 9495;
constexpr int TitleAndBordersTwips = 375;
constexpr int CompactHeightTwips = 5350;
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
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Caption);
    buildControls(this, windowLayout());
    bindControls();
    setFixedSize(twipsToPixels(ClientWidthTwips), twipsToPixels(CompactHeightTwips - TitleAndBordersTwips));
}

Form1::~Form1() = default;

void Form1::bindControls()
{
    connect(&m_comm, &SerialComm::onComm, this, [this] { m_link.MSComm1_OnComm(); });

    const std::pair<TrafficLines::Line, const char*> labels[]
        = {{TrafficLines::Transmit, "Label11"}, {TrafficLines::Receive, "Label12"}, {TrafficLines::Status, "Label22"}};
    for (const auto& [line, name] : labels) {
        QLabel* label = control<QLabel>(name);
        connect(&m_lines, &TrafficLines::changed, label,
            [label, line = line](TrafficLines::Line changed, const QString& text) {
                if (changed == line)
                    label->setText(text);
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
    connect(control<QPushButton>("Command33"), &QPushButton::clicked, this, [this] { m_ports.Command33_Click(); });
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
    m_state.HeldCode = 0;
    m_state.AwaitingReply = 0;
    m_state.ReplyBuffer = QString();

    // The speed option is checked from design, without running its handler.
    control<QRadioButton>("Option9")->setChecked(true);

    m_ports.openAtStartup();
    m_ports.setStartingUp(true);
    checkOption(control<QRadioButton>("Option1"));
    m_ports.setStartingUp(false);
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing the window ends the program like "END": the port is closed and
    // nothing is sent on the way out.
    (void)m_comm.setPortOpen(false);
    event->accept();
}

} // namespace orva
