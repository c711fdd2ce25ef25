#include "engine/protocol/ValueJson.h"

#include "engine/protocol/ValueNames.h"

#include <QJsonArray>

namespace orva {

namespace {

// The typed value alone, and what else its object says.
QJsonValue plainValue(const ReplyValue& value, QJsonObject& object)
{
    if (const auto* power = std::get_if<PowerState>(&value)) {
        object.insert(QStringLiteral("state"), QString(powerClassName(powerClass(*power))));
        object.insert(QStringLiteral("phase"), QString(powerPhaseName(powerPhase(*power))));
        object.insert(QStringLiteral("fault"), QString(powerFaultName(powerFault(*power))));
        return QString(powerStateName(*power));
    }
    if (const auto* input = std::get_if<InputSource>(&value))
        return QString(inputName(*input));
    if (const auto* orientation = std::get_if<Orientation>(&value))
        return QString(orientationName(*orientation));
    if (const auto* lamp = std::get_if<LampHours>(&value))
        return double(lamp->hours);
    if (const auto* temperatures = std::get_if<Temperatures>(&value)) {
        QJsonArray celsius;
        for (const double each : temperatures->celsius)
            celsius.append(each);
        return celsius;
    }
    if (const auto* mute = std::get_if<MuteState>(&value)) {
        const std::optional<Muted> muted = mutedOf(*mute);
        object.insert(QStringLiteral("picture"), muted ? QJsonValue(muted->picture) : QJsonValue());
        object.insert(QStringLiteral("sound"), muted ? QJsonValue(muted->sound) : QJsonValue());
        return QString(muteName(*mute));
    }
    if (const auto* model = std::get_if<ModelName>(&value))
        return model->text;
    if (const auto* pressure = std::get_if<AirPressure>(&value))
        return pressure->hectopascals;
    if (const auto* mode = std::get_if<LampMode>(&value)) {
        object.insert(QStringLiteral("lit"), lampLit(*mode));
        return QString(lampModeName(*mode));
    }
    return QJsonValue();
}

} // namespace

QJsonObject valueObject(const ReplyValue& value)
{
    if (std::holds_alternative<std::monostate>(value))
        return {};
    QJsonObject object;
    object.insert(QStringLiteral("value"), plainValue(value, object));
    return object;
}

} // namespace orva
