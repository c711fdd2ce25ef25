#include "hub/SecretCompare.h"

namespace orva::hub {

bool digestsMatch(const QByteArray& given, const QByteArray& expected)
{
    if (given.size() != expected.size())
        return false;
    // Every byte is looked at; the differences are gathered, never acted on
    // one by one.
    unsigned char difference = 0;
    for (qsizetype i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given.at(i) ^ expected.at(i));
    return difference == 0;
}

} // namespace orva::hub
