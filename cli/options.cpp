#include "cli/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

QString usageText()
{
    return uR"(Usage: zelvora-auditor-cli [options] roms|videos|all
       zelvora-auditor-cli undo JOURNAL

Audits the rom archives (roms), the preview videos (videos) or both (all) of a
Zelvora directory against its supported roms list. undo puts back the files renamed
by the run whose undo journal is JOURNAL, where they still are and their old name is free.

Options:
  -d, --zelvora-dir DIR      the Zelvora directory; default: the one the desktop
                             application saved last
  -l, --roms-list FILE       the supported roms list; default: the file named
                             "- Supported Games Lookup For Naming.txt" below DIR
                             (the first in sorted path order)
  -a, --available-roms-only  videos: expect videos only for games whose rom
                             archive is present
  -m, --near-misses          also pair each missing name with the file that is
                             almost its name, and give the reason
      --rename REASONS       with -m: rename the pairs of these reasons (a comma
                             list, or all) to their expected names, never
                             replacing a file; prints the undo journal
  -f, --format text|json     output format, default text
  -s, --save DIR             also write the audit's report files into DIR
                             (created if missing)
  -p, --problems             also list what the audit could not see or should not
                             trust (unreadable folders, links, second copies,
                             empty or damaged files, odd list lines)
      --verify               roms, all: also read every entry of every counted
                             archive and check its data against its CRC-32 and
                             sizes (implies -p); archives unchanged since the
                             last verify keep their verdict unread
      --verify-all           like --verify, but read every archive again
      --table FILE           all: write one row per game as CSV into FILE
      --no-history           neither compare with the previous audit nor keep
                             this one for the next
  -q, --quiet                no progress output
  -h, --help                 show this help
      --version              show the version

Exit status: 0 the audit ran, 1 standard output could not be written, 2 usage
error, 3 the supported roms list cannot be used, 4 report files could not be
written, 5 the folders could not be read completely, 6 out of memory.
undo: 0 every file was put back, 2 usage error, 4 a file could not be put back
or the journal cannot be used.
)"_s;
}

static Command usageError(const QString &message)
{
    Command command;
    command.kind = Command::Kind::UsageError;
    command.error = message;
    return command;
}

// A path option given as "" would silently mean the working directory.
static std::optional<QString> pathValue(const QCommandLineParser &parser, const QCommandLineOption &option,
                                        QString &error)
{
    if (!parser.isSet(option)) {
        return std::nullopt;
    }
    QString value = parser.value(option);
    if (value.isEmpty()) {
        error = u"the option --%1 needs a non-empty path."_s.arg(option.names().constLast());
    }
    return value;
}

static std::optional<AuditKind> auditKindOf(const QString &name)
{
    if (name == "roms"_L1)
        return AuditKind::Roms;
    if (name == "videos"_L1)
        return AuditKind::Videos;
    if (name == "all"_L1)
        return AuditKind::All;
    return std::nullopt;
}

static std::optional<OutputFormat> outputFormatOf(const QString &name)
{
    if (name == "text"_L1)
        return OutputFormat::Text;
    if (name == "json"_L1)
        return OutputFormat::Json;
    return std::nullopt;
}

Command parseCommandLine(const QStringList &arguments)
{
    const QCommandLineOption dirOption(QStringList{u"d"_s, u"zelvora-dir"_s}, {}, u"DIR"_s);
    const QCommandLineOption listOption(QStringList{u"l"_s, u"roms-list"_s}, {}, u"FILE"_s);
    const QCommandLineOption availableOption(QStringList{u"a"_s, u"available-roms-only"_s});
    const QCommandLineOption formatOption(QStringList{u"f"_s, u"format"_s}, {}, u"FORMAT"_s);
    const QCommandLineOption saveOption(QStringList{u"s"_s, u"save"_s}, {}, u"DIR"_s);
    const QCommandLineOption quietOption(QStringList{u"q"_s, u"quiet"_s});
    const QCommandLineOption problemsOption(QStringList{u"p"_s, u"problems"_s});
    const QCommandLineOption tableOption(u"table"_s, {}, u"FILE"_s);
    const QCommandLineOption noHistoryOption(u"no-history"_s);
    const QCommandLineOption verifyOption(u"verify"_s);
    const QCommandLineOption verifyAllOption(u"verify-all"_s);
    const QCommandLineOption nearMissesOption(QStringList{u"m"_s, u"near-misses"_s});
    const QCommandLineOption renameOption(u"rename"_s, {}, u"REASONS"_s);
    const QCommandLineOption helpOption(QStringList{u"h"_s, u"help"_s});
    const QCommandLineOption versionOption(u"version"_s);

    QCommandLineParser parser;
    parser.addOptions({dirOption, listOption, availableOption, formatOption, saveOption, quietOption, problemsOption,
                       tableOption, noHistoryOption, verifyOption, verifyAllOption, nearMissesOption, renameOption,
                       helpOption, versionOption});
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }

    Command command;
    if (parser.isSet(helpOption)) {
        command.kind = Command::Kind::Help;
        return command;
    }
    if (parser.isSet(versionOption)) {
        command.kind = Command::Kind::Version;
        return command;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return usageError(u"name the audit to run: roms, videos or all."_s);
    }
    if (positional.size() > 1) {
        return usageError(u"unexpected argument \"%1\"."_s.arg(positional.at(1)));
    }
    Options &options = command.options;
    const std::optional<AuditKind> audit = auditKindOf(positional.constFirst());
    if (!audit) {
        return usageError(u"unknown audit \"%1\": use roms, videos or all."_s.arg(positional.constFirst()));
    }
    options.audit = *audit;

    QString error;
    options.zelvoraDir = pathValue(parser, dirOption, error);
    options.romsList = pathValue(parser, listOption, error);
    options.saveDir = pathValue(parser, saveOption, error);
    options.tableFile = pathValue(parser, tableOption, error);
    if (!error.isEmpty()) {
        return usageError(error);
    }

    options.availableRomsOnly = parser.isSet(availableOption);
    if (options.availableRomsOnly && options.audit == AuditKind::Roms) {
        return usageError(u"--available-roms-only applies to the videos audit only."_s);
    }
    if (options.tableFile && options.audit != AuditKind::All) {
        return usageError(u"--table applies to the all audit only."_s);
    }
    options.quiet = parser.isSet(quietOption);
    options.problems = parser.isSet(problemsOption);
    options.noHistory = parser.isSet(noHistoryOption);
    options.verifyAll = parser.isSet(verifyAllOption);
    options.verify = options.verifyAll || parser.isSet(verifyOption);
    if (options.verify && options.audit == AuditKind::Videos) {
        return usageError(u"--verify and --verify-all apply to the roms and all audits only."_s);
    }
    options.problems = options.problems || options.verify;
    options.nearMisses = parser.isSet(nearMissesOption);
    if (parser.isSet(renameOption)) {
        const auto reasons = options.nearMisses
                                 ? parseRenameReasons(parser.value(renameOption))
                                 : std::variant<NearMissReasons, QString>(u"--rename needs -m, --near-misses."_s);
        if (const QString *reasonError = std::get_if<QString>(&reasons)) {
            return usageError(*reasonError);
        }
        options.renameReasons = std::get<NearMissReasons>(reasons);
    }

    if (parser.isSet(formatOption)) {
        const QString format = parser.value(formatOption);
        const std::optional<OutputFormat> known = outputFormatOf(format);
        if (!known) {
            return usageError(u"unknown format \"%1\": use text or json."_s.arg(format));
        }
        options.format = *known;
    }
    return command;
}

} // namespace zelvora::cli
