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

namespace {

// Every option of an audit, in the order the parser is given them.
struct OptionSet
{
    const QCommandLineOption dir{QStringList{u"d"_s, u"zelvora-dir"_s}, {}, u"DIR"_s};
    const QCommandLineOption list{QStringList{u"l"_s, u"roms-list"_s}, {}, u"FILE"_s};
    const QCommandLineOption available{QStringList{u"a"_s, u"available-roms-only"_s}};
    const QCommandLineOption format{QStringList{u"f"_s, u"format"_s}, {}, u"FORMAT"_s};
    const QCommandLineOption save{QStringList{u"s"_s, u"save"_s}, {}, u"DIR"_s};
    const QCommandLineOption quiet{QStringList{u"q"_s, u"quiet"_s}};
    const QCommandLineOption problems{QStringList{u"p"_s, u"problems"_s}};
    const QCommandLineOption table{u"table"_s, {}, u"FILE"_s};
    const QCommandLineOption noHistory{u"no-history"_s};
    const QCommandLineOption verify{u"verify"_s};
    const QCommandLineOption verifyAll{u"verify-all"_s};
    const QCommandLineOption nearMisses{QStringList{u"m"_s, u"near-misses"_s}};
    const QCommandLineOption rename{u"rename"_s, {}, u"REASONS"_s};
    const QCommandLineOption help{QStringList{u"h"_s, u"help"_s}};
    const QCommandLineOption version{u"version"_s};

    QList<QCommandLineOption> all() const
    {
        return {dir,       list,   available, format,     save,   quiet, problems, table,
                noHistory, verify, verifyAll, nearMisses, rename, help,  version};
    }
};

// The options beside the audit and its paths; the usage error when they do not go together.
std::optional<QString> readFlags(const QCommandLineParser &parser, const OptionSet &set, Options &options)
{
    options.availableRomsOnly = parser.isSet(set.available);
    if (options.availableRomsOnly && options.audit == AuditKind::Roms) {
        return u"--available-roms-only applies to the videos audit only."_s;
    }
    if (options.tableFile && options.audit != AuditKind::All) {
        return u"--table applies to the all audit only."_s;
    }
    options.quiet = parser.isSet(set.quiet);
    options.problems = parser.isSet(set.problems);
    options.noHistory = parser.isSet(set.noHistory);
    options.verifyAll = parser.isSet(set.verifyAll);
    options.verify = options.verifyAll || parser.isSet(set.verify);
    if (options.verify && options.audit == AuditKind::Videos) {
        return u"--verify and --verify-all apply to the roms and all audits only."_s;
    }
    options.problems = options.problems || options.verify;
    options.nearMisses = parser.isSet(set.nearMisses);
    if (parser.isSet(set.rename)) {
        const auto reasons = options.nearMisses
                                 ? parseRenameReasons(parser.value(set.rename))
                                 : std::variant<NearMissReasons, QString>(u"--rename needs -m, --near-misses."_s);
        if (const QString *reasonError = std::get_if<QString>(&reasons)) {
            return *reasonError;
        }
        options.renameReasons = std::get<NearMissReasons>(reasons);
    }
    if (parser.isSet(set.format)) {
        const QString format = parser.value(set.format);
        const std::optional<OutputFormat> known = outputFormatOf(format);
        if (!known) {
            return u"unknown format \"%1\": use text or json."_s.arg(format);
        }
        options.format = *known;
    }
    return std::nullopt;
}

} // namespace

Command parseCommandLine(const QStringList &arguments)
{
    const OptionSet set;
    QCommandLineParser parser;
    parser.addOptions(set.all());
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }

    Command command;
    if (parser.isSet(set.help)) {
        command.kind = Command::Kind::Help;
        return command;
    }
    if (parser.isSet(set.version)) {
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
    options.zelvoraDir = pathValue(parser, set.dir, error);
    options.romsList = pathValue(parser, set.list, error);
    options.saveDir = pathValue(parser, set.save, error);
    options.tableFile = pathValue(parser, set.table, error);
    if (!error.isEmpty()) {
        return usageError(error);
    }
    if (const std::optional<QString> flagError = readFlags(parser, set, options)) {
        return usageError(*flagError);
    }
    return command;
}

} // namespace zelvora::cli
