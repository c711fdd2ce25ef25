#include "hub/PjlinkNotifier.h"

#include "hub/PjlinkDatagrams.h"
#include "hub/PjlinkInputs.h"
#include "hub/PjlinkMapping.h"
#include "hub/Projector.h"

#include <algorithm>

namespace orva::hub {

namespace {

template <typename T> const T* cachedOf(const Projector& projector, StatusQuery query)
{
    return std::get_if<T>(&projector.cached(query).value);
}

std::optional<QByteArray> powerDigitOf(const Projector& projector)
{
    const auto* state = cachedOf<PowerState>(projector, StatusQuery::PowerState);
    return state ? pjlinkPowerDigit(*state) : std::nullopt;
}

std::optional<QByteArray> errorDigitsOf(const Projector& projector)
{
    const auto* state = cachedOf<PowerState>(projector, StatusQuery::PowerState);
    return state ? std::optional<QByteArray>(pjlinkErrorDigits(*state)) : std::nullopt;
}

} // namespace

PjlinkNotifier::PjlinkNotifier(Projector& projector, Clock& clock, Send send, QObject* parent)
    : QObject(parent)
    , m_projector(projector)
    , m_clock(clock)
    , m_send(std::move(send))
    , m_power(powerDigitOf(projector))
    , m_errors(errorDigitsOf(projector))
    , m_input(inputCode())
{
    connect(&projector, &Projector::valueChanged, this, &PjlinkNotifier::onValueChanged);
    connect(&projector, &Projector::commandAcknowledged, this, &PjlinkNotifier::onAcknowledged);
}

void PjlinkNotifier::controllerServed(const QHostAddress& address)
{
    m_controllers.removeIf([&address](const Seen& seen) { return seen.address == address; });
    m_controllers.append({address, m_clock.nowMs()});
    if (m_controllers.size() > MaxControllers)
        m_controllers.removeFirst();
}

void PjlinkNotifier::announce()
{
    const QByteArray datagram = pjlinkNotification("LKUP", m_mac.toLatin1());
    for (const QHostAddress& target : targets())
        m_send(target, datagram);
}

QList<QHostAddress> PjlinkNotifier::targets()
{
    const std::int64_t now = m_clock.nowMs();
    m_controllers.removeIf([now](const Seen& seen) { return now - seen.atMs >= RememberMs; });
    QList<QHostAddress> targets = m_configured;
    for (const Seen& seen : m_controllers) {
        if (!targets.contains(seen.address))
            targets.append(seen.address);
    }
    return targets;
}

void PjlinkNotifier::onValueChanged(StatusQuery query)
{
    if (query == StatusQuery::PowerState) {
        tell("POWR", m_power, powerDigitOf(m_projector));
        tell("ERST", m_errors, errorDigitsOf(m_projector));
    } else if (query == StatusQuery::InputSource) {
        recheckInput();
    }
}

void PjlinkNotifier::onAcknowledged(Command command)
{
    // A source picked on the input in use changes the class 2 code without
    // a change of what the projector reads back.
    for (const PjlinkInput& input : pjlinkInputs()) {
        if (input.source == command) {
            recheckInput();
            return;
        }
    }
}

void PjlinkNotifier::recheckInput()
{
    tell("INPT", m_input, inputCode());
}

std::optional<QByteArray> PjlinkNotifier::inputCode() const
{
    const auto* input = cachedOf<InputSource>(m_projector, StatusQuery::InputSource);
    if (!input)
        return std::nullopt;
    const Projector& projector = m_projector;
    const PjlinkFacts facts{projector.config(),
        [&projector](const std::vector<Command>& commands) { return projector.lastAcknowledged(commands); }};
    return pjlinkInputNow(*input, facts);
}

void PjlinkNotifier::tell(const char* body, std::optional<QByteArray>& told, const std::optional<QByteArray>& now)
{
    // A state PJLink has no word for tells nothing, and the next one is
    // compared with what was told before it.
    if (!now || now == told)
        return;
    const bool first = !told;
    told = now;
    if (first)
        return;
    const QByteArray datagram = pjlinkNotification(body, *now);
    for (const QHostAddress& target : targets())
        m_send(target, datagram);
}

} // namespace orva::hub
