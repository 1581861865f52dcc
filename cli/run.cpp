#include "cli/run.h"

#include "audit/audits.h"
#include "audit/checks/problems.h"
#include "audit/files/history.h"
#include "audit/files/reports.h"
#include "audit/files/table.h"
#include "audit/names/filenames.h"
#include "audit/names/romslist.h"
#include "cli/auditextras.h"
#include "cli/inputs.h"
#include "cli/nearmissoutput.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/tableoutput.h"
#include "cli/terminalprogress.h"
#include "cli/undo.h"
#include "version/version.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

namespace {

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

bool isDirectory(const QByteArray &path)
{
    struct stat st = {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the folder `path` (as bytes: it need not be UTF-8) and its missing parents. Empty on success,
// else why not.
// NOLINTNEXTLINE(misc-no-recursion): one level per missing parent
QString makeDirectoryBytes(const QByteArray &path)
{
    const QString shown = quoted(decodeFileName(path));
    if (isDirectory(path)) {
        return {};
    }
    struct stat st = {};
    if (::lstat(path.constData(), &st) == 0) {
        return u"%1 is not a directory"_s.arg(shown);
    }
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0) {
        if (QString error = makeDirectoryBytes(path.first(slash)); !error.isEmpty()) {
            return error;
        }
    }
    if (::mkdir(path.constData(), 0777) != 0 && errno != EEXIST) {
        return u"can't create %1: %2"_s.arg(shown, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!isDirectory(path)) {
        return u"%1 is not a directory"_s.arg(shown);
    }
    return {};
}

// Makes `directory` and its missing parents. Empty on success, else why not.
QString makeDirectory(const QString &directory)
{
    QByteArray path = encodeFileName(directory);
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    return makeDirectoryBytes(path);
}

QList<WriteFailure> saveReports(const QString &directory, const std::vector<ReportFile> &files)
{
    const QString error = makeDirectory(directory);
    if (error.isEmpty()) {
        return writeReportFiles(directory, files);
    }
    QList<WriteFailure> failures;
    for (const ReportFile &file : files) {
        failures.append({file.fileName, directory + u'/' + file.fileName, error});
    }
    return failures;
}

int usageError(const QString &message)
{
    printTo(stderr, u"Error: %1\n\n%2"_s.arg(message, usageText()));
    return kExitUsage;
}

int romsListError(const AuditInputs &inputs, RomsListFault fault)
{
    QString text = u"Error: Can't find supported roms list or it is too big.\n"_s;
    if (inputs.romsListPath.isEmpty()) {
        text += u"(no file named %1 below %2)\n"_s.arg(quoted(kRomsListFileName.toString()), quoted(inputs.zelvoraDir));
    } else {
        text += u"(%1: %2)\n"_s.arg(quoted(inputs.romsListPath), romsListFaultText(fault));
    }
    printTo(stderr, text);
    return kExitRomsListUnusable;
}

QString folderText(const QByteArray &path, const AuditInputs &inputs)
{
    const QString relative = QFile::decodeName(path);
    if (inputs.zelvoraDir.isEmpty())
        return quoted(relative);
    return quoted(inputs.zelvoraDir + (inputs.zelvoraDir.endsWith(u'/') ? QString() : u"/"_s) + relative);
}

// Says what the walk could not see. A folder the user may not read is a warning: the result stands for
// what could be read. A folder that could not be opened for any other reason makes the result
// incomplete, so it is not given at all. Returns false then.
bool reportWalk(const WalkReport &walk, const AuditInputs &inputs)
{
    constexpr std::size_t kMostNamed = 20;
    const auto name = [&](const std::vector<UnreadFolder> &folders, const QString &line) {
        for (std::size_t i = 0; i < folders.size() && i < kMostNamed; ++i) {
            printTo(stderr, line.arg(folderText(folders[i].path, inputs),
                                     QString::fromLocal8Bit(std::strerror(folders[i].error))));
        }
        if (folders.size() > kMostNamed) {
            printTo(stderr, u"  ... and %1 more folders\n"_s.arg(folders.size() - kMostNamed));
        }
    };
    name(walk.unreadable, u"Warning: the folder %1 could not be read (%2); its files are not counted.\n"_s);
    if (walk.isComplete()) {
        return true;
    }
    name(walk.failed, u"Error: the folder %1 could not be read (%2).\n"_s);
    printTo(stderr, u"Error: the folders could not be read completely; no result is given.\n"_s);
    return false;
}

// The command ends right after its output is written. The system takes the lists' memory back at once,
// which is much faster than freeing a million names one by one; a pointer held here keeps them
// reachable, so leak checkers see them as kept, not lost.
template <typename T> T &keptUntilExit(T value)
{
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): kept until exit on purpose
    static auto *kept = new std::vector<std::shared_ptr<void>>;
    auto held = std::make_shared<T>(std::move(value));
    kept->push_back(held);
    return *held;
}

} // namespace

int run(const QStringList &arguments)
{
    if (isUndoCommand(arguments)) {
        return runUndo(arguments);
    }
    const Command command = parseCommandLine(arguments);
    switch (command.kind) {
    case Command::Kind::UsageError:
        return usageError(command.error);
    case Command::Kind::Help:
        printTo(stdout, usageText());
        return std::fflush(stdout) == 0 ? kExitOk : kExitOutputFailed;
    case Command::Kind::Version:
        printTo(stdout, u"zelvora-auditor-cli %1\n"_s.arg(versionText()));
        return std::fflush(stdout) == 0 ? kExitOk : kExitOutputFailed;
    case Command::Kind::Run:
        break;
    }
    const Options &options = command.options;

    const auto resolved = resolveInputs(options, [] { return readStoredPaths(userSettingsFile()); });
    if (const QString *error = std::get_if<QString>(&resolved)) {
        return usageError(*error);
    }
    AuditInputs inputs = std::get<AuditInputs>(resolved);
    inputs.otherFormats = options.nearMisses;

    if (const std::optional<QString> warning = zelvoraDirWarning(inputs.zelvoraDir)) {
        printTo(stderr, *warning + u'\n');
    }

    std::unique_ptr<TerminalProgress> terminal;
    SilentProgress silent;
    if (!options.quiet && ::isatty(STDERR_FILENO) != 0) {
        terminal = std::make_unique<TerminalProgress>(stderr);
    }
    Progress &progress = terminal ? static_cast<Progress &>(*terminal) : silent;
    const auto endProgress = [&] {
        if (terminal) {
            terminal->clear();
        }
    };

    const bool json = options.format == OutputFormat::Json;
    std::vector<ReportFile> &reports = keptUntilExit(std::vector<ReportFile>{});
    // JSON is written as it is made; the text is made whole, since it is laid out list by list.
    std::vector<std::function<bool()>> outputs;
    const auto writeText = [](const QByteArray &text) {
        return std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size()) &&
               std::fflush(stdout) == 0;
    };
    const bool all = options.audit == AuditKind::All;
    const RomAudit *romAudit = nullptr;
    const VideoAudit *videoAudit = nullptr;
    std::vector<Problem> &romProblemList = keptUntilExit(std::vector<Problem>{});
    std::vector<Problem> &videoProblemList = keptUntilExit(std::vector<Problem>{});
    std::optional<NearMisses> &romNearMisses = keptUntilExit(std::optional<NearMisses>{});
    std::optional<NearMisses> &videoNearMisses = keptUntilExit(std::optional<NearMisses>{});
    const auto nearMissMembers = [](const std::optional<NearMisses> &pairs) {
        return pairs ? nearMissJsonMembers(*pairs) : QByteArray();
    };
    const auto nearMissText = [](const std::optional<NearMisses> &pairs) {
        return pairs ? '\n' + nearMissTextOutput(*pairs) : QByteArray();
    };
    // `all` reads the list and walks the folders once for both audits; each is then handled as if run alone.
    RomsListFault collectionFault{};
    CollectionAudit collection;
    if (all) {
        collection = runCollectionAudit(inputs, progress, &collectionFault);
    }
    if (options.audit != AuditKind::Videos) {
        RomsListFault listFault = collectionFault;
        const std::optional<RomAudit> &roms =
            keptUntilExit(all ? std::move(collection.roms) : runRomAudit(inputs, progress, &listFault));
        if (!all || !roms) {
            endProgress();
        }
        if (!roms) {
            return romsListError(inputs, listFault);
        }
        if (!reportWalk(roms->found.walk, inputs)) {
            endProgress();
            return kExitIncomplete;
        }
        romAudit = &*roms;
        if (options.problems || options.tableFile) {
            romProblemList = romProblems(inputs, *roms);
        }
        romNearMisses = options.nearMisses ? std::optional(findRomNearMisses(*roms)) : std::nullopt;
        const AuditExtras &extras =
            keptUntilExit(auditExtras(options, romProblemList, inputs, u"roms",
                                      [&](const QDateTime &now) { return auditRecord(roms->lists, now); }));
        outputs.emplace_back([&, all] {
            if (json) {
                return (!all || writeText("{\n  \"audit\": \"all\",\n  \"roms\": ")) &&
                       writeRomJsonOutput(stdout, inputs, roms->lists,
                                          nearMissMembers(romNearMisses) + extras.jsonMembers);
            }
            return writeText(romTextOutput(roms->lists) + nearMissText(romNearMisses) + extras.text);
        });
        if (options.saveDir) {
            reports = romReportFiles(roms->lists);
            if (romNearMisses) {
                reports.push_back(romNearMissReportFile(*romNearMisses));
            }
            if (options.problems) {
                reports.push_back({kRomProblemsFileName.toString(), problemsCsv(romProblemList)});
            }
        }
    }
    if (options.audit != AuditKind::Roms) {
        RomsListFault listFault = collectionFault;
        const std::optional<VideoAudit> &videos =
            keptUntilExit(all ? std::move(collection.videos) : runVideoAudit(inputs, progress, &listFault));
        endProgress();
        if (!videos) {
            return romsListError(inputs, listFault);
        }
        if (!reportWalk(videos->walk, inputs)) {
            return kExitIncomplete;
        }
        videoAudit = &*videos;
        if (!videos->usedRomsList) {
            printTo(stderr, u"Warning: Can't find supported roms list or it is too big; without it no video counts "
                            "as a video for a missing rom, every unexpected video is unknown.\n"_s);
        }
        if (options.problems || options.tableFile) {
            videoProblemList = videoProblems(inputs, *videos);
        }
        videoNearMisses = options.nearMisses ? std::optional(findVideoNearMisses(*videos)) : std::nullopt;
        const AuditExtras &extras = keptUntilExit(
            auditExtras(options, videoProblemList, inputs, inputs.availableRomsOnly ? u"videos-available" : u"videos",
                        [&](const QDateTime &now) { return auditRecord(videos->lists, now); }));
        outputs.emplace_back([&, all] {
            if (json) {
                return (!all || writeText(",\n  \"videos\": ")) &&
                       writeVideoJsonOutput(stdout, inputs, videos->lists,
                                            nearMissMembers(videoNearMisses) + extras.jsonMembers) &&
                       (!all || writeText("}\n"));
            }
            return (!all || writeText("\n")) &&
                   writeText(videoTextOutput(videos->lists) + nearMissText(videoNearMisses) + extras.text);
        });
        if (options.saveDir) {
            std::vector<ReportFile> files = videoReportFiles(videos->lists);
            if (videoNearMisses) {
                files.push_back(videoNearMissReportFile(*videoNearMisses));
            }
            if (options.problems) {
                files.push_back({kVideoProblemsFileName.toString(), problemsCsv(videoProblemList)});
            }
            reports.insert(reports.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
        }
    }
    const auto writeOutput = [&] {
        return std::all_of(outputs.begin(), outputs.end(), [](const auto &output) { return output(); });
    };

    QList<WriteFailure> failures;
    if (options.saveDir) {
        failures = saveReports(*options.saveDir, reports);
    }
    if (options.tableFile && romAudit && videoAudit) {
        const QByteArray table = collectionTableCsv({&inputs, romAudit, videoAudit, &romProblemList, &videoProblemList,
                                                     romNearMisses ? &*romNearMisses : nullptr,
                                                     videoNearMisses ? &*videoNearMisses : nullptr});
        if (const QString error = writeTableFile(*options.tableFile, table); !error.isEmpty()) {
            failures.append({QFileInfo(*options.tableFile).fileName(), *options.tableFile, error});
        }
    }

    const bool outputWritten = writeOutput();
    if (!outputWritten) {
        printTo(stderr, u"Error: can't write the output: %1\n"_s.arg(QString::fromLocal8Bit(std::strerror(errno))));
    }

    for (const WriteFailure &failure : failures) {
        printTo(stderr,
                u"Error: %1 was not written to %2: %3\n"_s.arg(failure.fileName, quoted(failure.path), failure.reason));
    }
    if (!outputWritten) {
        return kExitOutputFailed;
    }
    // Renames come last, after the output that names the files as they were found.
    int renameStatus = kExitOk;
    if (options.renameReasons) {
        std::vector<RenameRequest> requests;
        for (const std::optional<NearMisses> *pairs : {&romNearMisses, &videoNearMisses}) {
            if (*pairs) {
                std::vector<RenameRequest> more = renameRequests(**pairs, *options.renameReasons);
                requests.insert(requests.end(), std::make_move_iterator(more.begin()),
                                std::make_move_iterator(more.end()));
            }
        }
        renameStatus = printRenameReport(renameSafely(inputs.zelvoraDir, requests), json ? stderr : stdout, stderr);
    }
    return failures.isEmpty() && renameStatus == kExitOk ? kExitOk : kExitReportsNotWritten;
}

} // namespace zelvora::cli
