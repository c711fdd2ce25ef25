#include "panel/CommandPanel.h"

#include "display/FormTimers.h"
#include "display/TrafficLines.h"
#include "link/Link.h"
#include "link/SerialComm.h"

namespace orva {

CommandPanel::CommandPanel(
    ControllerState& state, SerialComm& comm, FormTimers& timers, TrafficLines& lines, Link& link, View view)
    : m_state(state)
    , m_comm(comm)
    , m_timers(timers)
    , m_lines(lines)
    , m_link(link)
    , m_view(std::move(view))
{
    m_timers.Timer1->setHandler([this] { Timer1_Timer(); });
}

void CommandPanel::setDisplayTiming(DisplayTiming timing)
{
    m_timers.Timer2->setInterval(timing.replyTimeout);
    m_timers.Timer4->setInterval(timing.clearDelay);
}

void CommandPanel::click(const CatalogueEntry& button)
{
    // The timing goes in before the send, so that this very command runs
    // with it.
    switch (button.timing) {
    case Timing::Untimed:
        break;
    case Timing::PictureMode:
        setDisplayTiming(PictureModeTiming);
        break;
    case Timing::InputSource:
        setDisplayTiming(InputSourceTiming);
        break;
    }

    m_link.sendCode(QString::fromLatin1(button.code));

    if (button.after == AfterSend::ArrowsToMenu) {
        m_timers.Timer1->setInterval(MenuArrowRepeat);
        m_state.ArrowContext = 1;
    }
}

void CommandPanel::mouseDown(const HeldEntry& button)
{
    if (button.kind == HeldKind::Arrow) {
        // Arrows take their display timing from what they were last put
        // to, before the send; their repeat period is whatever Timer1 holds.
        if (const auto timing = arrowTiming(m_state.ArrowContext))
            setDisplayTiming(*timing);
        m_state.HeldCode = button.heldCode;
        m_link.sendCode(QString::fromLatin1(button.code));
        m_timers.Timer1->setEnabled(true);
        return;
    }

    // Adjusters and SELECT retune after the send: the new intervals restart
    // the display timers that the send has just started.
    m_state.HeldCode = button.heldCode;
    m_link.sendCode(QString::fromLatin1(button.code));
    m_timers.Timer1->setInterval(button.repeatPeriod);
    setDisplayTiming(button.timing);
    m_timers.Timer1->setEnabled(true);
}

void CommandPanel::mouseUp(const HeldEntry& button)
{
    m_state.HeldCode = 0;
    // No repeat follows, the last frame's reply timeout is dropped (no
    // missing-reply mark), and the clear delay runs from here.
    m_timers.Timer1->setEnabled(false);
    m_timers.Timer2->setEnabled(false);
    m_timers.Timer4->setEnabled(true);
    m_lines.setTransmit(QString());
    m_lines.setReceive(QString());
    setDisplayTiming(ReleaseTiming);
    m_state.ReplyBuffer.clear();

    if (button.after == AfterRelease::ArrowsToZoom) {
        m_timers.Timer1->setInterval(ZoomArrowRepeat);
        m_state.ArrowContext = 3;
    }
}

void CommandPanel::Timer1_Timer()
{
    if (m_state.HeldCode == 0)
        return;
    const HeldEntry* held = heldEntry(m_state.HeldCode);
    if (!held)
        return;
    m_link.sendCode(QString::fromLatin1(held->code));
    m_timers.Timer1->setEnabled(true);
}

void CommandPanel::Command95_Click()
{
    setDisplayTiming(PictureModeTiming);
    m_state.FreeCommand = m_view.commandText();
    m_link.sendCode(m_state.FreeCommand);
}

void CommandPanel::Command96_Click()
{
    m_view.clearCommandText();
}

void CommandPanel::Command16_Click()
{
    // Closing a port that is not open is harmless; the program ends either
    // way, and nothing goes to the projector on the way out.
    (void)m_comm.setPortOpen(false);
    m_view.closeWindow();
}

} // namespace orva
