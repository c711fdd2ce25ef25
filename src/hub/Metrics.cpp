#include "hub/Metrics.h"

#include "engine/protocol/ValueNames.h"

#include <QLocale>

namespace orva::hub {

namespace {

// A label value as the exposition format quotes it.
QByteArray escaped(const QString& value)
{
    QByteArray out;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

// One metric family: its header once, then samples.
class Family
{
public:
    Family(QByteArray& out, const char* name, const char* type, const char* help)
        : m_out(out)
        , m_name(name)
    {
        m_out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    }

    // labels: name, value, name, value, ...
    void sample(std::initializer_list<std::pair<const char*, QString>> labels, const QByteArray& value)
    {
        m_out += m_name;
        char separator = '{';
        for (const auto& [label, text] : labels) {
            m_out += separator;
            m_out += label;
            m_out += "=\"" + escaped(text) + '"';
            separator = ',';
        }
        if (separator == ',')
            m_out += '}';
        m_out += ' ' + value + '\n';
    }

private:
    QByteArray& m_out;
    const char* m_name;
};

template <typename T> const T* valueOf(const ProjectorMetrics& projector, StatusQuery query)
{
    return std::get_if<T>(&projector.values[std::size_t(query)]);
}

// A value the projector vouches for now: read, and the projector up.
template <typename T> const T* currentValueOf(const ProjectorMetrics& projector, StatusQuery query)
{
    return projector.up ? valueOf<T>(projector, query) : nullptr;
}

QByteArray flag(bool on)
{
    return on ? QByteArray("1") : QByteArray("0");
}

} // namespace

QByteArray renderMetrics(const std::vector<ProjectorMetrics>& projectors, int httpConnections)
{
    QByteArray out;
    out.reserve(qsizetype(projectors.size()) * 2048 + 4096);
    const auto each = [&projectors](const auto& write) {
        for (const ProjectorMetrics& projector : projectors)
            write(projector, projector.name);
    };

    Family up(
        out, "orva_projector_up", "gauge", "Whether the projector's line is open and its last poll was answered.");
    each([&](const ProjectorMetrics& p, const QString& name) { up.sample({{"projector", name}}, flag(p.up)); });

    Family info(out, "orva_projector_info", "gauge", "The projector's model, as it reports it, and its line.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        const auto* model = valueOf<ModelName>(p, StatusQuery::ModelName);
        info.sample({{"projector", name}, {"model", model ? model->text : QString()}, {"line", p.line}}, "1");
    });

    Family group(out, "orva_projector_group", "gauge", "1 for each group the projector is in, as configured.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        for (const QString& one : p.groups)
            group.sample({{"projector", name}, {"group", one}}, "1");
    });

    Family power(out, "orva_projector_power_state", "gauge",
        "1 for the power state the projector is in: standby, warming, on, cooling, or a fault "
        "(temperature_warning, temperature_shutdown, lamp_failure, power_failure).");
    each([&](const ProjectorMetrics& p, const QString& name) {
        const auto* state = currentValueOf<PowerState>(p, StatusQuery::PowerState);
        if (!state)
            return;
        for (std::size_t i = 0; i < PowerClassCount; ++i) {
            const auto which = PowerClass(i);
            power.sample({{"projector", name}, {"state", powerClassName(which)}}, flag(powerClass(*state) == which));
        }
    });

    Family input(out, "orva_projector_input", "gauge", "1 for the input the projector shows.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        const auto* source = currentValueOf<InputSource>(p, StatusQuery::InputSource);
        if (!source)
            return;
        for (const InputSource candidate : InputSources)
            input.sample({{"projector", name}, {"input", inputName(candidate)}}, flag(*source == candidate));
    });

    Family muted(out, "orva_projector_muted", "gauge", "Whether the picture (no show) or the sound is muted.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        const auto* mute = currentValueOf<MuteState>(p, StatusQuery::MuteState);
        const std::optional<Muted> what = mute ? mutedOf(*mute) : std::nullopt;
        if (!what)
            return;
        muted.sample({{"projector", name}, {"kind", QStringLiteral("picture")}}, flag(what->picture));
        muted.sample({{"projector", name}, {"kind", QStringLiteral("sound")}}, flag(what->sound));
    });

    // The projector counts whole hours; the metric is in seconds, the base
    // unit every Prometheus user and tool expects (promtool refuses an
    // "_hours" name), and a counter, since it only grows until a new lamp
    // sets it back to 0 (which rate() and increase() take as a reset).
    Family lamp(out, "orva_projector_lamp_seconds_total", "counter",
        "The lamp's time lit, as the projector counts it (in whole hours).");
    each([&](const ProjectorMetrics& p, const QString& name) {
        if (const auto* hours = currentValueOf<LampHours>(p, StatusQuery::LampHours))
            lamp.sample({{"projector", name}}, QByteArray::number(hours->hours * 3600));
    });

    Family lit(out, "orva_projector_lamp_on", "gauge", "Whether a lamp is lit.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        if (const auto* mode = currentValueOf<LampMode>(p, StatusQuery::LampMode))
            lit.sample({{"projector", name}}, flag(lampLit(*mode)));
    });

    Family temperature(
        out, "orva_projector_temperature_celsius", "gauge", "The projector's three temperature sensors.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        const auto* read = currentValueOf<Temperatures>(p, StatusQuery::Temperatures);
        if (!read)
            return;
        for (std::size_t i = 0; i < read->celsius.size(); ++i)
            temperature.sample({{"projector", name}, {"sensor", QString::number(i + 1)}}, number(read->celsius[i]));
    });

    Family polled(out, "orva_projector_last_poll_timestamp_seconds", "gauge",
        "When the projector last answered a poll, in seconds since the epoch.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        if (p.lastPollSeconds)
            polled.sample({{"projector", name}}, number(*p.lastPollSeconds));
    });

    Family frames(out, "orva_hub_frames_total", "counter", "Frames sent to the projector, by the door that asked.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        for (std::size_t i = 0; i < p.counters.frames.size(); ++i) {
            frames.sample({{"projector", name}, {"door", Projector::doorName(Projector::Door(i))}},
                QByteArray::number(p.counters.frames[i]));
        }
    });

    Family timeouts(out, "orva_hub_reply_timeouts_total", "counter",
        "Frames the projector did not answer within the reply timeout.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        timeouts.sample({{"projector", name}}, QByteArray::number(p.counters.replyTimeouts));
    });

    Family reopens(
        out, "orva_hub_line_reopens_total", "counter", "Times the line was opened again after it went down.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        reopens.sample({{"projector", name}}, QByteArray::number(p.counters.lineReopens));
    });

    Family dropped(out, "orva_hub_late_characters_dropped_total", "counter",
        "Characters that came after a frame's reply timeout beyond what one frame's sender is given.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        dropped.sample({{"projector", name}}, QByteArray::number(p.counters.lateDropped));
    });

    Family clients(out, "orva_hub_clients", "gauge", "Clients connected to the projector's doors.");
    each([&](const ProjectorMetrics& p, const QString& name) {
        for (std::size_t i = 0; i < p.clients.size(); ++i) {
            if (p.clients[i])
                clients.sample({{"projector", name}, {"door", Projector::doorName(Projector::Door(i))}},
                    QByteArray::number(*p.clients[i]));
        }
    });

    Family http(
        out, "orva_hub_http_connections", "gauge", "Connections to the hub's HTTP door, event streams included.");
    http.sample({}, QByteArray::number(httpConnections));
    return out;
}

} // namespace orva::hub
