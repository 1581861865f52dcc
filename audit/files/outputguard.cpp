#include "audit/files/outputguard.h"

#include "audit/files/humantext.h"
#include "audit/walk/scan.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

// The path as the file system resolves it: the nearest existing folder with its links resolved, and the
// rest of the path below it as written.
QString resolvedPath(const QString &path)
{
    QString rest;
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo::exists(existing) && existing != u"/"_s) {
        const qsizetype slash = existing.lastIndexOf(u'/');
        rest.prepend(existing.mid(slash));
        existing = slash > 0 ? existing.left(slash) : u"/"_s;
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return QDir::cleanPath((canonical.isEmpty() ? existing : canonical) + rest);
}

bool isInside(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

} // namespace

std::optional<QString> overwrittenInput(const QString &file, const AuditInputs &inputs)
{
    const QString target = resolvedPath(file);
    if (!inputs.romsListPath.isEmpty() && target == resolvedPath(inputs.romsListPath))
        return message(u"%1 is the supported roms list", {MessageArg::own(quotedPath(file))});
    if (inputs.zelvoraDir.isEmpty())
        return std::nullopt;
    for (const QString &folder : romDirectoryNames() + videoDirectoryNames()) {
        if (isInside(target, resolvedPath(inputs.zelvoraDir + u'/' + folder)))
            return message(u"%1 lies inside the audited folder %2",
                           {MessageArg::own(quotedPath(file)), MessageArg::own(quotedPath(folder))});
    }
    return std::nullopt;
}

} // namespace zelvora
