#include "hub/HubProgram.h"

#include "engine/line/LineFactory.h"
#include "engine/timing/QtClock.h"
#include "hub/Hub.h"
#include "hub/HubConfig.h"
#include "hub/HubLog.h"
#include "hub/ReloadSignal.h"
#include "hub/Scheduler.h"
#include "hub/SystemdNotify.h"
#include "orva/Version.h"
#include "program/ProgramAnswer.h"
#include "program/StopSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include <cstdio>

namespace orva::hub {

namespace {

constexpr int BadUsage = 2;
constexpr int CannotListen = 3;
// What --check shows of each schedule's future.
constexpr int NextRunsShown = 3;

QString projectorCount(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 projector") : QStringLiteral("%1 projectors").arg(count);
}

void say(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().append('\n').constData(), stream);
}

// SIGHUP: the file is read aside; a bad one is reported and the hub goes
// on as it was.
void reload(const HubLog& log, Hub& hub, const QString& path)
{
    notifySystemdReloading();
    log.info(QString(), QStringLiteral("SIGHUP: reading %1 again").arg(path));
    const ConfigResult read = readHubConfig(path);
    for (const QString& warning : read.warnings)
        log.warning(QString(), warning);
    for (const QString& error : read.errors)
        log.error(QString(), error);
    if (read.config) {
        hub.reconfigure(*read.config);
    } else {
        log.error(QString(), QStringLiteral("not reloaded: still serving the configuration read before"));
        // logrotate's SIGHUP still moves the audit trail to a new file.
        hub.audit().reopen();
    }
    notifySystemd("READY=1");
}

} // namespace

int runHub(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orva-hub"));
    QCoreApplication::setApplicationVersion(QLatin1String(VersionText));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shares each projector's serial line between the panel, scripts and PJLink room controllers."));
    const QCommandLineOption config({QStringLiteral("c"), QStringLiteral("config")},
        QStringLiteral("Read the configuration from FILE (default /etc/orva/hub.toml)."), QStringLiteral("FILE"),
        QStringLiteral("/etc/orva/hub.toml"));
    const QCommandLineOption check(
        QStringLiteral("check"), QStringLiteral("Check the configuration, report and exit (0 good, 2 bad)."));
    const QCommandLineOption verbose({QStringLiteral("v"), QStringLiteral("verbose")},
        QStringLiteral("Log every frame: who sent it, through which door, and how it ended."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    parser.addOptions({config, check, verbose, help, version});
    // Unlike the other programs, a bad argument wins over --help here.
    const bool parsed = parser.parse(QCoreApplication::arguments()) && parser.positionalArguments().isEmpty();
    const StartAction start = !parsed ? StartAction::Usage
        : parser.isSet(help)          ? StartAction::Help
        : parser.isSet(version)       ? StartAction::Version
                                      : StartAction::Run;
    const QString answer = start == StartAction::Help ? parser.helpText()
        : parser.errorText().isEmpty()
        ? QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().value(0))
        : parser.errorText();
    if (const std::optional<int> status = answerStart(start, QStringLiteral("orva-hub"), answer)) {
        if (*status != 0)
            return *status;
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }

    QtClock clock;
    const HubLog log(parser.isSet(verbose), &clock);
    const QString path = parser.value(config);
    const ConfigResult read = readHubConfig(path);
    for (const QString& warning : read.warnings)
        log.warning(QString(), warning);
    for (const QString& error : read.errors)
        log.error(QString(), error);
    if (!read.config)
        return BadUsage;
    if (parser.isSet(check)) {
        // The file itself is made at start, in the directory that must be
        // there by then (systemd's LogsDirectory= makes /var/log/orva).
        const QString auditDirectory = QFileInfo(read.config->auditLog).absolutePath();
        if (!read.config->auditLog.isEmpty() && !QFileInfo(auditDirectory).isDir()) {
            log.error(QString(), QStringLiteral("%1: audit-log: no directory %2").arg(path, auditDirectory));
            return BadUsage;
        }
        say(stdout, QStringLiteral("%1: good (%2)").arg(path, projectorCount(read.config->projectors.size())));
        const QTimeZone zone = Scheduler::zoneOf(*read.config);
        for (const ScheduleConfig& schedule : read.config->schedules) {
            const QStringList next
                = Scheduler::nextTimes(schedule, zone, QDateTime::currentMSecsSinceEpoch(), NextRunsShown);
            for (const QString& time : next)
                say(stdout,
                    QStringLiteral("schedule %1: next run %2%3")
                        .arg(schedule.name, time, schedule.enabled ? QString() : QStringLiteral(" (disabled)")));
        }
        return 0;
    }

    Hub hub(
        *read.config, [](const ProjectorConfig&) { return makeLine(); }, clock, log);
    QString why;
    if (!hub.listen(&why)) {
        log.error(QString(), QStringLiteral("cannot listen on %1").arg(why));
        return CannotListen;
    }
    // A terminal's hang-up ends orva-ctl and the panel; the hub, which has
    // no terminal, reads its configuration again instead.
    StopSignals stopSignals({SIGTERM, SIGINT});
    ReloadSignal reloadSignal;
    QObject::connect(&reloadSignal, &ReloadSignal::received, &app, [&log, &hub, &path] { reload(log, hub, path); });
    QObject::connect(&stopSignals, &StopSignals::received, &app, [&log](int signalNumber) {
        log.info(QString(), QStringLiteral("%1: closing the lines").arg(StopSignals::name(signalNumber)));
        notifySystemd("STOPPING=1");
        QCoreApplication::quit();
    });
    hub.start();
    log.info(QString(), QStringLiteral("serving ") + projectorCount(read.config->projectors.size()));
    notifySystemd("READY=1");
    const int status = QCoreApplication::exec();
    hub.stop();
    return status;
}

} // namespace orva::hub
