#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace orva::hub {

// PJLink class 2's datagrams, as plain functions: the search a controller
// broadcasts, the answer each projector gives it, and the notifications a
// projector sends by itself. Every datagram is one line ending in a
// carriage return:
//
//   %2SRCH                    a controller looks for projectors
//   %2ACKN=xx:xx:xx:xx:xx:xx  a projector answers with its hardware address
//   %2LKUP=xx:xx:xx:xx:xx:xx  a projector came onto the network
//   %2POWR=1, %2ERST=000000, %2INPT=11: a status changed to this value
//
// A projector has no hardware address of its own here: it is configured
// (mac), or derived from the hub's machine and the projector's name.

// Exactly a search ("%2SRCH" and its carriage return): anything else,
// another body, a line feed after it, a second line, is not answered.
bool isPjlinkSearch(const QByteArray& datagram);

// "%2ACKN=..." with its carriage return; mac as macText gives it.
QByteArray pjlinkSearchAnswer(const QString& mac);
// "%2BODY=VALUE" with its carriage return (LKUP, POWR, ERST, INPT).
QByteArray pjlinkNotification(const char* body, const QByteArray& value);

// A hardware address as written in a configuration: six bytes in hex,
// separated by ':' or '-', either case, one a unicast address (the lowest
// bit of the first byte clear) and not all zeros. Returned in PJLink's form,
// lower case with ':'; none when it is not one.
std::optional<QString> parseMac(const QString& text);

// A locally administered unicast address that stays the same for the same
// machine and name: the first six bytes of SHA-256 over both, with the
// first byte's 0x02 bit set and its 0x01 bit cleared.
QString derivedMac(const QByteArray& machineId, const QString& name);

// What tells this machine apart: /etc/machine-id, else its host name.
QByteArray hubMachineId();

} // namespace orva::hub
