#pragma once

#include "engine/timing/IntervalTimer.h"
#include "panel/CommandTables.h"

#include <QString>

#include <memory>

namespace orva {

class ReplyWindow;

// The command buttons' behaviour:
//  - click() for every single-press button of the catalogue;
//  - press() and release() for the thirteen press-and-hold buttons, whose
//    command the repeat timer sends again at every tick while one is held;
//  - sendTyped() for the free command line ("SEND").
// It owns the held button, the repeat timer and what the arrows were last
// put to. Every send goes through the reply window. The order of the timer
// writes in each handler matters: an interval written while its timer runs
// restarts the countdown from the write.
class CommandPanel
{
public:
    // The repeat period at start.
    static constexpr int StartRepeatPeriod = 200;

    CommandPanel(ReplyWindow& replies, Clock& clock);
    ~CommandPanel();
    CommandPanel(const CommandPanel&) = delete;
    CommandPanel& operator=(const CommandPanel&) = delete;

    void click(const CatalogueEntry& button);

    // A press-and-hold button went down or up (any mouse button).
    void press(const HeldEntry& button);
    void release(const HeldEntry& button);

    // "SEND": the typed text as it stands, as a command, with the
    // picture-mode timing.
    void sendTyped(const QString& text);

    // Stops the repeat for good.
    void stop();

    ArrowContext arrowContext() const { return m_arrowContext; }
    int repeatPeriod() const { return m_repeat->interval(); }
    bool isRepeating() const { return m_repeat->isEnabled(); }

private:
    void onRepeatTick();

    ReplyWindow& m_replies;
    std::unique_ptr<IntervalTimer> m_repeat;
    // Number of the held button in the repeat table; 0 while none is held.
    quint8 m_held = 0;
    ArrowContext m_arrowContext = ArrowContext::Unset;
};

} // namespace orva
