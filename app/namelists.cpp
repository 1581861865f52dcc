#include "app/qkappdelegate.h"
#include "audit/names/romslist.h"
#include "audit/walk/scan.h"

namespace zelvora {

FoundFiles QKAppDelegate::cacheZelvoraRomDirs(const AuditInputs &inputs, Progress *progress)
{
    return zelvora::cacheZelvoraRomDirs(inputs.zelvoraDir, progress);
}

FoundFiles QKAppDelegate::cacheZelvoraVideoDirs(const AuditInputs &inputs, Progress *progress)
{
    return zelvora::cacheZelvoraVideoDirs(inputs.zelvoraDir, progress);
}

FoundFiles QKAppDelegate::cacheFilenamesFromDirsWithFileExtensions(const AuditInputs &inputs,
                                                                   const QStringList &directories,
                                                                   const QString &extension, Progress *progress)
{
    return zelvora::cacheFilenamesFromDirsWithFileExtensions(inputs.zelvoraDir, directories, extension, progress);
}

std::optional<NameBlock> QKAppDelegate::cacheRomsListFile(const AuditInputs &inputs)
{
    return zelvora::cacheRomsListFile(inputs.romsListPath);
}

void QKAppDelegate::setExtensionOfFilenames(const QString &extension, NameBlock &filenames)
{
    zelvora::setExtensionOfFilenames(extension, filenames);
}

} // namespace zelvora
