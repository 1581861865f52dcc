#pragma once

// File names as text without losing a byte. Qt 6 reads and writes names as UTF-8 whatever the
// locale (C, POSIX and C.UTF-8 alike; no QT_ variable changes it) and turns each byte that is not
// UTF-8 into U+FFFD, so QFile::decodeName followed by QFile::encodeName names another file. Here a
// name's valid UTF-8 decodes as usual, and each other byte becomes the lone surrogate U+DC80..U+DCFF,
// which no UTF-8 decodes to (Python's "surrogateescape"); encoding gives that byte back. For names
// that are UTF-8 both agree with QFile's functions.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace zelvora {

QString decodeFileName(QByteArrayView bytes);
QByteArray encodeFileName(QStringView name);

} // namespace zelvora
