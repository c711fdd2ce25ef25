#include "engine/PortNames.h"

#include "engine/line/LineAddress.h"

#include <QDir>
#include <QFile>
#include <QSerialPortInfo>
#include <QStandardPaths>

#include <algorithm>
#include <tuple>

namespace orva {

namespace {

// Device names in natural order: runs of digits compare as numbers, so
// ttyS2 comes before ttyS10 (and the order does not hang on the locale).
bool naturallyBefore(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Leading zeros aside, the longer run is the larger number.
            const QStringView na = QStringView(a).sliced(i, ei - i);
            const QStringView nb = QStringView(b).sliced(j, ej - j);
            const auto strip = [](QStringView n) {
                while (n.size() > 1 && n.front() == QLatin1Char('0'))
                    n = n.sliced(1);
                return n;
            };
            const QStringView sa = strip(na);
            const QStringView sb = strip(nb);
            if (sa.size() != sb.size())
                return sa.size() < sb.size();
            if (const int c = sa.compare(sb); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QString portName(Port port)
{
    return port == Port::Com2 ? QStringLiteral("COM2") : QStringLiteral("COM1");
}

PortNames PortNames::platformDefaults()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("COM1"), QStringLiteral("COM2")};
#else
    return {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")};
#endif
}

QList<AvailablePort> availableSerialPorts()
{
    QList<AvailablePort> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        AvailablePort port;
        port.path = info.systemLocation();
        port.usb = info.hasVendorIdentifier();
        if (port.usb) {
            port.vendorId = info.vendorIdentifier();
            port.productId = info.hasProductIdentifier() ? info.productIdentifier() : 0;
            port.serialNumber = info.serialNumber();
        }
        ports.append(port);
    }
    return ports;
}

PortNames choosePortNames(const PortNames& commandLine, const PortNames& config, QList<AvailablePort> available)
{
    std::stable_sort(available.begin(), available.end(), [](const AvailablePort& a, const AvailablePort& b) {
        if (a.usb != b.usb)
            return !a.usb;
        const auto adapter = [](const AvailablePort& p) { return std::tie(p.vendorId, p.productId, p.serialNumber); };
        if (a.usb && adapter(a) != adapter(b))
            return adapter(a) < adapter(b);
        return naturallyBefore(a.path, b.path);
    });

    PortNames names{commandLine.com1.isEmpty() ? config.com1 : commandLine.com1,
        commandLine.com2.isEmpty() ? config.com2 : commandLine.com2};
    const PortNames fallback = PortNames::platformDefaults();
    auto next = available.cbegin();
    for (QString* name : {&names.com1, &names.com2}) {
        if (!name->isEmpty())
            continue;
        while (next != available.cend() && (next->path == names.com1 || next->path == names.com2))
            ++next;
        if (next != available.cend())
            *name = (next++)->path;
    }
    if (names.com1.isEmpty())
        names.com1 = fallback.com1;
    if (names.com2.isEmpty())
        names.com2 = fallback.com2;
    return names;
}

QString portConfigPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // XDG base directories: a relative XDG_CONFIG_HOME is to be ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/orva/panel.conf");
}

PortConfig readPortConfig(const QString& path)
{
    PortConfig config;
    QFile file(path);
    if (!file.exists())
        return config;
    if (!file.open(QIODevice::ReadOnly)) {
        config.problems.append(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return config;
    }
    const QByteArray content = file.read(MaxConfigBytes);
    if (!file.atEnd())
        config.problems.append(
            QStringLiteral("%1: longer than %2 bytes; the rest is ignored").arg(path).arg(MaxConfigBytes));
    const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto bad = [&](const QString& reason) {
            config.problems.append(QStringLiteral("%1:%2: %3").arg(path).arg(i + 1).arg(reason));
        };
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            bad(QStringLiteral("expected 'com1 = LINE' or 'com2 = LINE'"));
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        QString* target = key == QLatin1String("com1") ? &config.names.com1
            : key == QLatin1String("com2")             ? &config.names.com2
                                                       : nullptr;
        if (!target) {
            bad(QStringLiteral("unknown key '%1'; expected com1 or com2").arg(key));
            continue;
        }
        if (!target->isEmpty()) {
            bad(QStringLiteral("%1 is given twice").arg(key));
            continue;
        }
        QString reason;
        if (!LineAddress::parse(value, &reason)) {
            bad(QStringLiteral("%1: %2").arg(key, reason));
            continue;
        }
        *target = value;
    }
    return config;
}

} // namespace orva
