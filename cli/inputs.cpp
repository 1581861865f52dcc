#include "cli/inputs.h"

#include "audit/romslist.h"
#include "audit/scan.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

static std::optional<QString> textValue(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

SavedPaths readSavedPaths()
{
    // The desktop application's store; only read here, never written. Anything but a regular file in its
    // place (a FIFO would block the read forever, a device would never end) counts as no settings.
    const QString path =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/zelvora/zelvora-auditor.conf"_s;
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return {};
    }
    const QSettings settings(u"zelvora"_s, u"zelvora-auditor"_s);
    return {textValue(settings, u"ZelvoraDirPath"_s), textValue(settings, u"ZelvoraRomsListPath"_s)};
}

static QString searchRomsList(const QString &zelvoraDir)
{
    return findFileBelow(zelvoraDir, kRomsListFileName.toString()).value_or(QString());
}

std::variant<AuditInputs, QString> resolveInputs(const Options &options, const SavedPaths &saved)
{
    AuditInputs inputs;
    inputs.availableRomsOnly = options.availableRomsOnly;

    if (options.zelvoraDir) {
        inputs.zelvoraDir = *options.zelvoraDir;
        inputs.romsListPath = options.romsList ? *options.romsList : searchRomsList(inputs.zelvoraDir);
        return inputs;
    }

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
