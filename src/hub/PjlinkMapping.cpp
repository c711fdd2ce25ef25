#include "hub/PjlinkMapping.h"

#include "engine/protocol/PowerStates.h"
#include "engine/protocol/ValueNames.h"
#include "hub/PjlinkInputs.h"

#include "orva/Version.h"

#include <algorithm>

namespace orva::hub {

namespace {

// Which header a row answers under: both, or class 1's or class 2's only.
enum class Classes : quint8 { Both, One, Two };

bool answersUnder(Classes classes, const QByteArray& header)
{
    return classes == Classes::Both || (classes == Classes::One) == (header == "%1");
}

// The sets: a body and parameter, the commands they send.
struct SetRow
{
    Classes classes;
    QByteArray body;
    QByteArray parameter;
    std::vector<Command> commands;
};

const std::vector<SetRow>& setRows()
{
    static const std::vector<SetRow> rows = [] {
        std::vector<SetRow> table{
            {Classes::Both, "POWR", "1", {Command::PowerOn}},
            {Classes::Both, "POWR", "0", {Command::PowerOff}},
            {Classes::One, "INPT", "11", {Command::InputPc1}},
            {Classes::One, "INPT", "12", {Command::InputPc2}},
            {Classes::One, "INPT", "21", {Command::InputVideo}},
            {Classes::Both, "AVMT", "11", {Command::NoShowOn}},
            {Classes::Both, "AVMT", "10", {Command::NoShowOff}},
            {Classes::Both, "AVMT", "21", {Command::SoundMuteOn}},
            {Classes::Both, "AVMT", "20", {Command::SoundMuteOff}},
            {Classes::Both, "AVMT", "31", {Command::NoShowOn, Command::SoundMuteOn}},
            {Classes::Both, "AVMT", "30", {Command::NoShowOff, Command::SoundMuteOff}},
            {Classes::Two, "FREZ", "1", {Command::FreezeOn}},
            {Classes::Two, "FREZ", "0", {Command::FreezeOff}},
            {Classes::Two, "SVOL", "1", {Command::VolumeUp}},
            {Classes::Two, "SVOL", "0", {Command::VolumeDown}},
        };
        // Class 2's input codes pick the input, then its source.
        for (const PjlinkInput& input : pjlinkInputs())
            table.push_back({Classes::Two, "INPT", input.code, {input.input, input.source}});
        return table;
    }();
    return rows;
}

// The queries: a body and the values it reads (none: answered from what
// the hub knows itself).
struct QueryRow
{
    Classes classes;
    const char* body;
    std::vector<StatusQuery> reads;
};

const std::vector<QueryRow>& queryRows()
{
    static const std::vector<QueryRow> rows{
        {Classes::Both, "POWR", {StatusQuery::PowerState}},
        {Classes::Both, "INPT", {StatusQuery::InputSource}},
        {Classes::Both, "INST", {}},
        {Classes::Both, "AVMT", {StatusQuery::MuteState}},
        {Classes::Both, "LAMP", {StatusQuery::LampHours, StatusQuery::LampMode}},
        {Classes::Both, "ERST", {StatusQuery::PowerState}},
        {Classes::Both, "NAME", {}},
        {Classes::Both, "INF1", {}},
        {Classes::Both, "INF2", {StatusQuery::ModelName}},
        {Classes::Both, "INFO", {}},
        {Classes::Both, "CLSS", {}},
        {Classes::Two, "SNUM", {}},
        {Classes::Two, "SVER", {}},
        {Classes::Two, "IRES", {StatusQuery::MuteState}},
        {Classes::Two, "RLMP", {}},
        {Classes::Two, "RFIL", {}},
        {Classes::Two, "FREZ", {}},
    };
    return rows;
}

// What a query the hub answers itself answers: a value, or an error.
std::variant<QByteArray, PjlinkError> ownAnswer(const PjlinkRequest& request, const PjlinkFacts& facts)
{
    const ProjectorConfig& config = facts.config;
    const QByteArray& body = request.body;
    const bool classTwo = request.header == "%2";
    if (body == "INST")
        return classTwo ? pjlinkInputCodes() : QByteArray("11 12 21");
    if (body == "NAME")
        return config.name.toUtf8();
    if (body == "INF1")
        return QByteArray("ORVA");
    if (body == "INFO")
        return QByteArray("orva-hub ") + VersionText;
    if (body == "CLSS")
        return QByteArray("2");
    if (body == "SNUM")
        return config.serialNumber.toUtf8();
    if (body == "SVER")
        return config.softwareVersion.toUtf8();
    if (body == "RLMP")
        return config.lampModel.toUtf8();
    if (body == "RFIL")
        return config.filterModel.toUtf8();
    if (body == "FREZ") {
        // The projector cannot be asked; a freeze it was not sent by the
        // hub (its remote control's) goes unseen.
        if (const auto last = facts.lastAcknowledged({Command::FreezeOn, Command::FreezeOff}))
            return QByteArray(*last == Command::FreezeOn ? "1" : "0");
        return PjlinkError::Undefined;
    }
    return QByteArray();
}

// INNM ?TN: an input's name, the configuration's or the panel's.
std::variant<QByteArray, PjlinkError> inputName(const PjlinkRequest& request, const PjlinkFacts& facts)
{
    const PjlinkInput* input
        = request.parameter.startsWith('?') ? pjlinkInputOfCode(request.parameter.mid(1)) : nullptr;
    if (!input)
        return PjlinkError::OutOfRange;
    return facts.config.inputNames.value(QString::fromLatin1(input->code), QString::fromUtf8(input->name)).toUtf8();
}

} // namespace

// POWR ?: PJLink's four power states are the phases; a projector that
// keeps its lamp lit through a warning is on, one that went dark to protect
// itself cooling or in standby. A phase the projector does not tell has no
// PJLink form.
std::optional<QByteArray> pjlinkPowerDigit(PowerState state)
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
QByteArray pjlinkErrorDigits(PowerState state)
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

std::optional<QByteArray> pjlinkInputNow(InputSource input, const PjlinkFacts& facts)
{
    return pjlinkInputCode(input, facts.lastAcknowledged(pjlinkSourcesOf(input)));
}

namespace {

template <typename T> const T& valueOf(const PjlinkValues& values, StatusQuery query)
{
    return std::get<T>(values[std::size_t(query)]);
}

} // namespace

PjlinkPlan planPjlink(const PjlinkRequest& request, const PjlinkFacts& facts)
{
    PjlinkPlan plan;
    plan.body = request.body;
    plan.header = request.header;
    const auto answerWith = [&plan](const std::variant<QByteArray, PjlinkError>& answer) {
        if (std::holds_alternative<PjlinkError>(answer))
            plan.error = std::get<PjlinkError>(answer);
        else
            plan.value = std::get<QByteArray>(answer);
    };
    if (request.header == "%2" && request.body == "INNM") {
        answerWith(inputName(request, facts));
        return plan;
    }
    const auto known
        = [&request](const auto& row) { return request.body == row.body && answersUnder(row.classes, request.header); };
    if (request.isQuery()) {
        const auto row = std::find_if(queryRows().begin(), queryRows().end(), known);
        // A set-only body (SVOL) asked for its value has no such parameter.
        if (row == queryRows().end())
            plan.error = std::any_of(setRows().begin(), setRows().end(), known) ? PjlinkError::OutOfRange
                                                                                : PjlinkError::Undefined;
        else if (row->reads.empty())
            answerWith(ownAnswer(request, facts));
        else
            plan.reads = row->reads;
        return plan;
    }
    bool knownBody = false;
    for (const SetRow& row : setRows()) {
        if (!known(row))
            continue;
        knownBody = true;
        if (request.parameter == row.parameter) {
            plan.commands = row.commands;
            return plan;
        }
    }
    // A query-only body given a value cannot be set; one the hub does not
    // know at all is undefined.
    const bool queryOnly = std::any_of(queryRows().begin(), queryRows().end(), known);
    plan.error = knownBody || queryOnly ? PjlinkError::OutOfRange : PjlinkError::Undefined;
    return plan;
}

std::variant<QByteArray, PjlinkError> answerPjlinkQuery(
    const PjlinkPlan& plan, const PjlinkValues& values, const PjlinkFacts& facts)
{
    const QByteArray& body = plan.body;
    if (body == "POWR") {
        if (const auto digit = pjlinkPowerDigit(valueOf<PowerState>(values, StatusQuery::PowerState)))
            return *digit;
        return PjlinkError::Failure;
    }
    if (body == "INPT" && plan.header == "%2") {
        // The projector tells the input; its source is the one the hub
        // picked last, else the input's first.
        if (const auto code = pjlinkInputNow(valueOf<InputSource>(values, StatusQuery::InputSource), facts))
            return *code;
        return PjlinkError::Unavailable;
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
    if (body == "IRES") {
        // The projector tells whether a signal comes, not its resolution:
        // "-" without one, "*" (unknown) with one.
        switch (valueOf<MuteState>(values, StatusQuery::MuteState)) {
        case MuteState::NoSignal:
            return QByteArray("-");
        case MuteState::Standby:
            return PjlinkError::Unavailable;
        case MuteState::Off:
        case MuteState::VideoMuted:
        case MuteState::AudioMuted:
        case MuteState::VideoAndAudioMuted:
            break;
        }
        return QByteArray("*");
    }
    if (body == "LAMP") {
        const qint64 hours = valueOf<LampHours>(values, StatusQuery::LampHours).hours;
        const bool lit = lampLit(valueOf<LampMode>(values, StatusQuery::LampMode));
        return QByteArray::number(hours) + (lit ? " 1" : " 0");
    }
    if (body == "ERST")
        return pjlinkErrorDigits(valueOf<PowerState>(values, StatusQuery::PowerState));
    if (body == "INF2") {
        // PJLink's names are at most 32 characters.
        return valueOf<ModelName>(values, StatusQuery::ModelName).text.left(32).toLatin1();
    }
    return PjlinkError::Undefined;
}

} // namespace orva::hub
