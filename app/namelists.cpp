#include "app/qkappdelegate.h"
#include "audit/names.h"
#include "audit/romslist.h"
#include "audit/scan.h"

namespace zelvora {

QStringList QKAppDelegate::cacheZelvoraRomDirs(const AuditInputs &inputs, Progress *progress)
{
    return zelvora::cacheZelvoraRomDirs(inputs.zelvoraDir, progress);
}

QStringList QKAppDelegate::cacheZelvoraVideoDirs(const AuditInputs &inputs, Progress *progress)
{
    return zelvora::cacheZelvoraVideoDirs(inputs.zelvoraDir, progress);
}

QStringList QKAppDelegate::cacheFilenamesFromDirsWithFileExtensions(const AuditInputs &inputs,
                                                                    const QStringList &directories,
                                                                    const QString &extension, Progress *progress)
{
    return zelvora::cacheFilenamesFromDirsWithFileExtensions(inputs.zelvoraDir, directories, extension, progress);
}

std::optional<QStringList> QKAppDelegate::cacheRomsListFile(const AuditInputs &inputs)
{
    return zelvora::cacheRomsListFile(inputs.romsListPath);
}

void QKAppDelegate::setExtensionOfFilenames(const QString &extension, QStringList &filenames)
{
    zelvora::setExtensionOfFilenames(extension, filenames);
}

} // namespace zelvora
