#include "panel/CommandPanel.h"

#include "panel/ReplyWindow.h"

namespace orva {

CommandPanel::CommandPanel(ReplyWindow& replies, Clock& clock)
    : m_replies(replies)
    , m_repeat(clock.createTimer(QStringLiteral("repeat"), StartRepeatPeriod))
{
    m_repeat->setHandler([this] { onRepeatTick(); });
}

CommandPanel::~CommandPanel() = default;

void CommandPanel::click(const CatalogueEntry& button)
{
    // The timing goes in before the send, so that this very command runs
    // with it.
    switch (button.timing) {
    case Timing::Untimed:
        break;
    case Timing::PictureMode:
        m_replies.setTiming(PictureModeTiming);
        break;
    case Timing::InputSource:
        m_replies.setTiming(InputSourceTiming);
        break;
    }

    m_replies.sendCode(commandCode(button.command));

    if (button.after == AfterSend::ArrowsToMenu) {
        m_repeat->setInterval(MenuArrowRepeat);
        m_arrowContext = ArrowContext::Menu;
    }
}

void CommandPanel::press(const HeldEntry& button)
{
    if (button.kind == HeldKind::Arrow) {
        // Arrows take their display timing from what they were last put
        // to, before the send; their repeat period is whatever is in force.
        if (const auto timing = arrowTiming(m_arrowContext))
            m_replies.setTiming(*timing);
        m_held = button.number;
        m_replies.sendCode(commandCode(button.command));
        m_repeat->setEnabled(true);
        return;
    }

    // Adjusters and SELECT retune after the send: the new intervals restart
    // the display timers that the send has just started.
    m_held = button.number;
    m_replies.sendCode(commandCode(button.command));
    m_repeat->setInterval(button.repeatPeriod);
    m_replies.setTiming(button.timing);
    m_repeat->setEnabled(true);
}

void CommandPanel::release(const HeldEntry& button)
{
    // No repeat follows, and the last frame's reply is no longer waited for.
    m_held = 0;
    m_repeat->setEnabled(false);
    m_replies.cancelPendingReply();

    if (button.after == AfterRelease::ArrowsToZoom) {
        m_repeat->setInterval(ZoomArrowRepeat);
        m_arrowContext = ArrowContext::Zoom;
    }
}

void CommandPanel::onRepeatTick()
{
    // Never waits for a reply: the held command goes out at every tick.
    const HeldEntry* held = heldEntry(m_held);
    if (!held)
        return;
    m_replies.sendCode(commandCode(held->command));
    m_repeat->setEnabled(true);
}

void CommandPanel::sendTyped(const QString& text)
{
    m_replies.setTiming(PictureModeTiming);
    m_replies.sendCode(text);
}

void CommandPanel::stop()
{
    m_held = 0;
    m_repeat->setEnabled(false);
}

} // namespace orva
