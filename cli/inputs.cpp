#include "cli/inputs.h"

#include "audit/names/romslist.h"
#include "audit/walk/scan.h"

using namespace Qt::StringLiterals;

namespace zelvora::cli {

static QString searchRomsList(const QString &zelvoraDir)
{
    return findFileBelow(zelvoraDir, kRomsListFileName.toString()).value_or(QString());
}

std::variant<AuditInputs, QString> resolveInputs(const Options &options, const std::function<StoredPaths()> &readSaved)
{
    AuditInputs inputs;
    inputs.availableRomsOnly = options.availableRomsOnly;

    if (options.zelvoraDir) {
        inputs.zelvoraDir = *options.zelvoraDir;
        inputs.romsListPath = options.romsList ? *options.romsList : searchRomsList(inputs.zelvoraDir);
        return inputs;
    }

    const StoredPaths saved = readSaved();
    // An empty saved directory would mean the working directory: not what anyone saved on purpose.
    if (!saved.zelvoraDir || saved.zelvoraDir->isEmpty()) {
        return u"no Zelvora directory: give one with -d (none is saved from the desktop application)."_s;
    }
    inputs.zelvoraDir = *saved.zelvoraDir;
    if (options.romsList) {
        inputs.romsListPath = *options.romsList;
    } else if (saved.romsListPath && !saved.romsListPath->isEmpty()) {
        inputs.romsListPath = *saved.romsListPath;
    } else {
        inputs.romsListPath = searchRomsList(inputs.zelvoraDir);
    }
    return inputs;
}

} // namespace zelvora::cli
