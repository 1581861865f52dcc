// The table file, written the way the report files are.

#include "cli/tableoutput.h"

#include "audit/files/atomicwrite.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

QString writeTableFile(const QString &file, QByteArrayView bytes)
{
    const QFileInfo info(file);
    if (file.endsWith(u'/') || info.fileName().isEmpty())
        return u"not a file name"_s;
    const SaveFolder folder(info.path());
    if (!folder.isOpen())
        return folder.error();
    return writeFileAtomically(folder, info.fileName(), bytes);
}

} // namespace zelvora::cli
