#pragma once

// `--table FILE`: the collection's table written as a file of its own.

#include <QByteArrayView>
#include <QString>

namespace zelvora::cli {

// Writes `bytes` as `file`, replacing it atomically. Empty on success, else why not.
QString writeTableFile(const QString &file, QByteArrayView bytes);

} // namespace zelvora::cli
