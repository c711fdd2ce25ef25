#pragma once

#include <QByteArray>
#include <QList>

namespace orva::hub {

// Cuts what a share-door client writes into frames: the bytes up to and
// including a carriage return. A frame longer than MaxFrame bytes is
// refused: its bytes are dropped up to its carriage return, however many
// chunks that takes, and the refusal is reported once. Holds at most
// MaxFrame bytes between calls.
class ShareFraming
{
public:
    static constexpr int MaxFrame = 256;

    struct Piece
    {
        QByteArray frame; // empty for a refusal
        bool refused = false;
    };

    // The frames and refusals completed by this chunk, in order.
    QList<Piece> take(const QByteArray& chunk);

private:
    QByteArray m_partial;
    bool m_discarding = false; // inside a frame already refused
};

} // namespace orva::hub
