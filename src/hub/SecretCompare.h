#pragma once

#include <QByteArray>

namespace orva::hub {

// Comparing secrets without telling, by the time it takes, how much of a
// guess was right: every door that checks a password or a token compares
// digests of the same length through this one function.

// Whether two digests are equal, in time that does not depend on where they
// differ (only on their length, which is the digest's and no secret).
bool digestsMatch(const QByteArray& given, const QByteArray& expected);

} // namespace orva::hub
