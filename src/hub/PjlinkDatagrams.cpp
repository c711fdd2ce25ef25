#include "hub/PjlinkDatagrams.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>

namespace orva::hub {

namespace {

QString macOf(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(':'));
}

} // namespace

bool isPjlinkSearch(const QByteArray& datagram)
{
    return datagram == "%2SRCH\r";
}

QByteArray pjlinkSearchAnswer(const QString& mac)
{
    return pjlinkNotification("ACKN", mac.toLatin1());
}

QByteArray pjlinkNotification(const char* body, const QByteArray& value)
{
    return QByteArray("%2") + body + '=' + value + '\r';
}

std::optional<QString> parseMac(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9A-Fa-f]{2}([:-])[0-9A-Fa-f]{2}(\\1[0-9A-Fa-f]{2}){4}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    QString hex = text;
    hex.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    // A multicast address (the group bit) answers for no one device.
    if ((quint8(bytes[0]) & 0x01) != 0 || bytes.count('\0') == bytes.size())
        return std::nullopt;
    return macOf(bytes);
}

QString derivedMac(const QByteArray& machineId, const QString& name)
{
    // The name apart from the machine by a byte neither can hold.
    QByteArray bytes = QCryptographicHash::hash(machineId + '\0' + name.toUtf8(), QCryptographicHash::Sha256).first(6);
    bytes[0] = char((quint8(bytes[0]) | 0x02) & ~0x01);
    return macOf(bytes);
}

QByteArray hubMachineId()
{
    QFile file(QStringLiteral("/etc/machine-id"));
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray id = file.read(64).trimmed();
        if (!id.isEmpty())
            return id;
    }
    return QSysInfo::machineHostName().toUtf8();
}

} // namespace orva::hub
