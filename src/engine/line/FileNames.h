#pragma once

#include <QByteArray>
#include <QString>

namespace orva {

// File names as the system has them (bytes) and as the programs carry them
// (text). A name that is valid UTF-8 reads as its characters. A byte that is
// not part of valid UTF-8 becomes the lone character U+DC00 + byte (U+DC80
// to U+DCFF), which no valid text holds, so that fileNameBytes() gives back
// the very bytes and a device with such a name can still be opened.
QString fileNameFromBytes(const QByteArray& bytes);
QByteArray fileNameBytes(const QString& name);
// Whether the name holds a byte that is not UTF-8.
bool holdsForeignBytes(const QString& name);

} // namespace orva
