#include "hub/ShareFraming.h"

namespace orva::hub {

QList<ShareFraming::Piece> ShareFraming::take(const QByteArray& chunk)
{
    QList<Piece> pieces;
    qsizetype from = 0;
    while (from < chunk.size()) {
        const qsizetype end = chunk.indexOf('\r', from);
        const qsizetype stop = end < 0 ? chunk.size() : end + 1;
        if (!m_discarding) {
            m_partial.append(chunk.constData() + from, stop - from);
            if (m_partial.size() > MaxFrame) {
                // Refused at once, so that the client learns of it before
                // it has sent the rest.
                pieces.append({QByteArray(), true});
                m_partial.clear();
                m_discarding = end < 0;
            } else if (end >= 0) {
                pieces.append({m_partial, false});
                m_partial.clear();
            }
        } else if (end >= 0) {
            m_discarding = false;
        }
        from = stop;
    }
    return pieces;
}

} // namespace orva::hub
