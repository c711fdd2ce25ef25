#include "display/StatusDecoder.h"

namespace orva {

std::optional<QString> decodeStatus(
    const QString& outgoing, const QString& prefix, const QString& rendered, qint16& pressureValue)
{
    // The "CR0" power state only, until the full set of queries is in.
    Q_UNUSED(pressureValue);
    if (outgoing != prefix + QStringLiteral("CR0\r"))
        return std::nullopt;
    if (rendered.left(4) == QLatin1String(" 0 0"))
        return QStringLiteral(" Power ON");
    return std::nullopt;
}

} // namespace orva
