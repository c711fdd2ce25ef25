#include "hub/PjlinkMapping.h"

#include "engine/protocol/PowerStates.h"
#include "engine/protocol/ValueNames.h"

#include "orva/Version.h"

namespace orva::hub {

namespace {

// The sets: a body and parameter, the commands they send.
struct SetRow
{
    const char* body;
    const char* parameter;
    std::vector<Command> commands;
};

const std::vector<SetRow>& setRows()
{
    static const std::vector<SetRow> rows{
        {"POWR", "1", {Command::PowerOn}},
        {"POWR", "0", {Command::PowerOff}},
        {"INPT", "11", {Command::InputPc1}},
        {"INPT", "12", {Command::InputPc2}},
        {"INPT", "21", {Command::InputVideo}},
        {"AVMT", "11", {Command::NoShowOn}},
        {"AVMT", "10", {Command::NoShowOff}},
        {"AVMT", "21", {Command::SoundMuteOn}},
        {"AVMT", "20", {Command::SoundMuteOff}},
        {"AVMT", "31", {Command::NoShowOn, Command::SoundMuteOn}},
        {"AVMT", "30", {Command::NoShowOff, Command::SoundMuteOff}},
    };
    return rows;
}

// The queries: a body and the values it reads (none: answered from what
// the hub knows itself).
struct QueryRow
{
    const char* body;
    std::vector<StatusQuery> reads;
};

const std::vector<QueryRow>& queryRows()
{
    static const std::vector<QueryRow> rows{
        {"POWR", {StatusQuery::PowerState}},
        {"INPT", {StatusQuery::InputSource}},
        {"INST", {}},
        {"AVMT", {StatusQuery::MuteState}},
        {"LAMP", {StatusQuery::LampHours, StatusQuery::LampMode}},
        {"ERST", {StatusQuery::PowerState}},
        {"NAME", {}},
        {"INF1", {}},
        {"INF2", {StatusQuery::ModelName}},
        {"INFO", {}},
        {"CLSS", {}},
    };
    return rows;
}

// POWR ?: PJLink's four power states are the phases; a projector that
// keeps its lamp lit through a warning is on, one that went dark to protect
// itself cooling or in standby. A phase the projector does not tell has no
// PJLink form.
std::optional<QByteArray> powerDigit(PowerState state)
{
    switch (powerPhase(state)) {
    case PowerPhase::Standby:
        return QByteArray("0");
    case PowerPhase::On:
        return QByteArray("1");
    case PowerPhase::Cooling:
        return QByteArray("2");
    case PowerPhase::Warming:
        return QByteArray("3");
    case PowerPhase::Unknown:
        break;
    }
    return std::nullopt;
}

// ERST ?: six digits, fan, lamp, temperature, cover, filter, other; 0 fine,
// 1 a warning, 2 an error. Only the power state tells of faults, one at a
// time; a failed power supply is "other".
QByteArray errorDigits(PowerState state)
{
    QByteArray digits("000000");
    switch (powerFault(state)) {
    case PowerFault::None:
        break;
    case PowerFault::TemperatureWarning:
        digits[2] = '1';
        break;
    case PowerFault::TemperatureError:
        digits[2] = '2';
        break;
    case PowerFault::LampFailure:
        digits[1] = '2';
        break;
    case PowerFault::PowerFailure:
        digits[5] = '2';
        break;
    }
    return digits;
}

template <typename T> const T& valueOf(const PjlinkValues& values, StatusQuery query)
{
    return std::get<T>(values[std::size_t(query)]);
}

} // namespace

PjlinkPlan planPjlink(const PjlinkRequest& request, const QString& projectorName)
{
    PjlinkPlan plan;
    plan.body = request.body;
    if (request.isQuery()) {
        for (const QueryRow& row : queryRows()) {
            if (request.body != row.body)
                continue;
            plan.reads = row.reads;
            if (request.body == "INST")
                plan.value = "11 12 21";
            else if (request.body == "NAME")
                plan.value = projectorName.toUtf8();
            else if (request.body == "INF1")
                plan.value = "ORVA";
            else if (request.body == "INFO")
                plan.value = QByteArray("orva-hub ") + VersionText;
            else if (request.body == "CLSS")
                plan.value = "1";
            return plan;
        }
        plan.error = PjlinkError::Undefined;
        return plan;
    }
    bool knownBody = false;
    for (const SetRow& row : setRows()) {
        if (request.body != row.body)
            continue;
        knownBody = true;
        if (request.parameter == row.parameter) {
            plan.commands = row.commands;
            return plan;
        }
    }
    // A query-only body given a value cannot be set; one the hub does not
    // know at all is undefined.
    const bool queryOnly = std::any_of(
        queryRows().begin(), queryRows().end(), [&request](const QueryRow& row) { return request.body == row.body; });
    plan.error = knownBody || queryOnly ? PjlinkError::OutOfRange : PjlinkError::Undefined;
    return plan;
}

std::variant<QByteArray, PjlinkError> answerPjlinkQuery(const QByteArray& body, const PjlinkValues& values)
{
    if (body == "POWR") {
        if (const auto digit = powerDigit(valueOf<PowerState>(values, StatusQuery::PowerState)))
            return *digit;
        return PjlinkError::Failure;
    }
    if (body == "INPT") {
        switch (valueOf<InputSource>(values, StatusQuery::InputSource)) {
        case InputSource::Computer1:
            return QByteArray("11");
        case InputSource::Computer2:
            return QByteArray("12");
        case InputSource::Video:
            return QByteArray("21");
        case InputSource::InputMode4:
            break;
        }
        // An input PJLink's list does not offer: not one it can name now.
        return PjlinkError::Unavailable;
    }
    if (body == "AVMT") {
        switch (valueOf<MuteState>(values, StatusQuery::MuteState)) {
        case MuteState::Off:
        case MuteState::NoSignal:
            return QByteArray("30");
        case MuteState::VideoMuted:
            return QByteArray("11");
        case MuteState::AudioMuted:
            return QByteArray("21");
        case MuteState::VideoAndAudioMuted:
            return QByteArray("31");
        case MuteState::Standby:
            break;
        }
        return PjlinkError::Unavailable;
    }
    if (body == "LAMP") {
        const qint64 hours = valueOf<LampHours>(values, StatusQuery::LampHours).hours;
        const bool lit = lampLit(valueOf<LampMode>(values, StatusQuery::LampMode));
        return QByteArray::number(hours) + (lit ? " 1" : " 0");
    }
    if (body == "ERST")
        return errorDigits(valueOf<PowerState>(values, StatusQuery::PowerState));
    if (body == "INF2") {
        // PJLink's names are at most 32 characters.
        return valueOf<ModelName>(values, StatusQuery::ModelName).text.left(32).toLatin1();
    }
    return PjlinkError::Undefined;
}

} // namespace orva::hub
