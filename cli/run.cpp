#include "cli/run.h"

#include "audit/checks/problems.h"
#include "audit/files/history.h"
#include "audit/files/humantext.h"
#include "audit/files/outputguard.h"
#include "audit/files/reports.h"
#include "audit/files/resulttext.h"
#include "audit/files/table.h"
#include "audit/names/filenames.h"
#include "audit/names/romslist.h"
#include "audit/nearmiss/nearmiss.h"
#include "audit/session.h"
#include "cli/inputs.h"
#include "cli/nearmissoutput.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/printer.h"
#include "cli/tableoutput.h"
#include "cli/terminalprogress.h"
#include "cli/undo.h"
#include "version/version.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

namespace {

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
    const QString shown = quotedPath(decodeFileName(path));
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

int usageError(const QString &text)
{
    printTo(stderr, u"Error: %1\n\n%2"_s.arg(shownText(text), usageText()));
    return kExitUsage;
}

// --help and --version, and the usage errors: what a command that runs no audit prints.
int answer(const Command &command)
{
    switch (command.kind) {
    case Command::Kind::UsageError:
        return usageError(command.error);
    case Command::Kind::Help:
        printTo(stdout, usageText());
        break;
    case Command::Kind::Version:
        printTo(stdout, u"zelvora-auditor-cli %1\n"_s.arg(versionText()));
        break;
    case Command::Kind::Run:
        break;
    }
    return std::fflush(stdout) == 0 ? kExitOk : kExitOutputFailed;
}

// Every file the run would write, checked before it starts: none may be one the audit reads.
std::optional<QString> refusedOutput(const Options &options, const AuditInputs &inputs)
{
    if (options.tableFile) {
        const QString &table = *options.tableFile;
        if (table.endsWith(u'/') || QFileInfo(table).fileName().isEmpty())
            return message(u"--table needs a file name, not the folder %1.", {MessageArg::own(quotedPath(table))});
        if (const std::optional<QString> why = overwrittenInput(table, inputs))
            return message(u"--table would replace what the audit reads: %1.", {MessageArg::own(*why)});
    }
    if (options.saveDir) {
        QStringList names{kRomNearMissesFileName.toString(), kVideoNearMissesFileName.toString(),
                          kRomProblemsFileName.toString(), kVideoProblemsFileName.toString()};
        for (const RomList list : {RomList::Valid, RomList::Missing, RomList::Unknown})
            names.append(romFileName(list));
        for (const VideoList list : {VideoList::Valid, VideoList::Missing, VideoList::Extra, VideoList::Unknown})
            names.append(videoFileName(list));
        for (const QString &name : names) {
            if (const std::optional<QString> why = overwrittenInput(*options.saveDir + u'/' + name, inputs))
                return message(u"--save would replace what the audit reads: %1.", {MessageArg::own(*why)});
        }
    }
    return std::nullopt;
}

AuditRequest auditRequest(const Options &options, AuditInputs inputs)
{
    AuditRequest request;
    request.kind = options.audit;
    request.inputs = std::move(inputs);
    request.problems = options.problems;
    request.nearMisses = options.nearMisses;
    request.history = !options.noHistory;
    request.table = options.tableFile.has_value();
    request.verify = options.verify;
    request.verifyAll = options.verifyAll;
    // Nothing is kept for a run that asks to keep nothing: the verdicts are read afresh.
    request.verifyCache = !options.noHistory;
    return request;
}

// The lists, with the phases on a terminal unless quiet.
void runAudits(AuditSession &session, const Options &options)
{
    if (options.quiet || ::isatty(STDERR_FILENO) == 0) {
        SilentProgress silent;
        session.runAudits(silent);
        return;
    }
    TerminalProgress terminal(stderr);
    session.runAudits(terminal);
    terminal.clear();
}

// The extras, with the deep verify's files and bytes on a terminal unless quiet.
void findExtras(AuditSession &session, const Options &options)
{
    if (!options.verify || options.quiet || ::isatty(STDERR_FILENO) == 0) {
        session.findExtras();
        return;
    }
    VerifyProgress counts;
    std::atomic<bool> done{false};
    std::thread drawer([&] {
        TerminalProgress terminal(stderr);
        while (!done.load()) {
            if (const qint64 total = counts.totalFiles.load(); total > 0)
                terminal.phase(
                    message(u"Verifying archives: %1 of %2 files, %3...",
                            {counts.files.load(), total, MessageArg::own(byteSizeText(counts.bytes.load()))}));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    try {
        session.findExtras(nullptr, &counts);
    } catch (...) {
        done = true;
        drawer.join();
        throw;
    }
    done = true;
    drawer.join();
}

// The report files and the table; the files that could not be written.
QList<WriteFailure> writeFiles(const Options &options, const AuditOutcome &outcome, const Printer &printer)
{
    QList<WriteFailure> failures;
    if (options.saveDir)
        failures = saveReports(*options.saveDir, printer.reportFiles());
    if (options.tableFile && outcome.roms.audit && outcome.videos.audit) {
        if (const QString error = writeTableFile(*options.tableFile, outcome.table); !error.isEmpty())
            failures.append({QFileInfo(*options.tableFile).fileName(), *options.tableFile, error});
    }
    return failures;
}

// Renames come last, after the output that names the files as they were found.
int renameNearMisses(const Options &options, const AuditSession &session)
{
    std::vector<RenameRequest> requests;
    for (const std::optional<NearMisses> *pairs :
         {&session.outcome().roms.nearMisses, &session.outcome().videos.nearMisses}) {
        if (*pairs) {
            std::vector<RenameRequest> more = renameRequests(**pairs, *options.renameReasons);
            requests.insert(requests.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
        }
    }
    const bool json = options.format == OutputFormat::Json;
    // Said before the first rename: should the run be stopped midway, the user still knows the journal.
    const auto journalReady = [](const QString &journal) {
        printTo(stderr, message(u"Renaming; undo journal: %1\n", {journal}));
    };
    return printRenameReport(renameSafely(session.request().inputs.zelvoraDir, requests, {}, journalReady),
                             json ? stderr : stdout, stderr);
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
    if (isUndoCommand(arguments))
        return runUndo(arguments);
    const Command command = parseCommandLine(arguments);
    if (command.kind != Command::Kind::Run)
        return answer(command);
    const Options &options = command.options;
    const auto resolved = resolveInputs(options, [] { return readStoredPaths(userSettingsFile()); });
    if (const QString *error = std::get_if<QString>(&resolved))
        return usageError(*error);
    if (const std::optional<QString> error = refusedOutput(options, std::get<AuditInputs>(resolved)))
        return usageError(*error);

    AuditSession &session = keptUntilExit(AuditSession(auditRequest(options, std::get<AuditInputs>(resolved))));
    runAudits(session, options);
    const Printer printer(options, session);
    if (const int status = printer.reportAudits(); status != kExitOk)
        return status;
    findExtras(session, options);
    printer.reportHistory();
    printer.reportVerify();

    const QList<WriteFailure> failures = writeFiles(options, session.outcome(), printer);
    const bool outputWritten = printer.writeResults();
    if (!outputWritten)
        printTo(stderr, u"Error: can't write the output: %1\n"_s.arg(QString::fromLocal8Bit(std::strerror(errno))));
    Printer::reportWriteFailures(failures);
    if (!outputWritten)
        return kExitOutputFailed;
    const int renameStatus = options.renameReasons ? renameNearMisses(options, session) : kExitOk;
    return failures.isEmpty() && renameStatus == kExitOk ? kExitOk : kExitReportsNotWritten;
}

} // namespace zelvora::cli
