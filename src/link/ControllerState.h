#pragma once

#include <QString>
#include <QtGlobal>

namespace orva {

// The one record of state that the window's handlers share. It lives exactly
// as long as the window; nothing of it is saved. Field names are the names
// the handlers speak of.
struct ControllerState
{
    // Number of the press-and-hold command the repeat timer re-sends; 0 = none.
    quint8 HeldCode = 0;
    // 1 from a send until reply characters arrive or the reply timeout ticks.
    quint8 AwaitingReply = 0;
    // What the arrow buttons were last put to: 1 menu/A-IMAGE, 3 after D.Zoom.
    quint8 ArrowContext = 0;
    // The complete frame of the last send (prefix, code, carriage return).
    QString OutgoingCommand;
    // Reply characters received since the buffer was last emptied.
    QString ReplyBuffer;
    // The last air-pressure reading, in hPa.
    qint16 PressureValue = 0;
    // 1 once the hidden key chord has armed the logo double-click.
    qint16 DataPanelArmed = 0;
    // The text last sent from the free command line.
    QString FreeCommand;
    // The line settings last chosen, "19200,N,8,1" or "9600,N,8,1".
    QString PortSettings;
    // Placed before every command code; empty for the whole run.
    QString CommandPrefix;
};

// Modes of Hyouji: 1 sends, every other value shows a reply.
enum HyoujiMode : quint8 { Send = 1, Receive = 2 };

// The carriage return that ends every frame.
inline constexpr QChar FrameEnd = QChar(13);

// Frame of a command code: the prefix, the code, one carriage return.
inline QString buildFrame(const ControllerState& state, const QString& code)
{
    return state.CommandPrefix + code + FrameEnd;
}

} // namespace orva
