#pragma once

#include <QString>

namespace orva::hub {

// How the hub names a peer or a listening endpoint in its log, its refusal
// keys and its error messages, written and read in this one place:
// "HOST:PORT" with an IPv6 address in brackets ("[::1]:4352"), and a
// connection as "DOOR HOST:PORT" ("pjlink 192.0.2.7:50112").

// "HOST:PORT", an IPv6 address (one with a colon) in brackets.
QString endpointName(const QString& host, quint16 port);
// The address in a door's name of a peer, "DOOR ADDRESS:PORT" (an IPv6
// address with or without brackets): what the guards and the refusal log
// count by.
QString addressOfPeer(const QString& peer);

} // namespace orva::hub
