#include "cli/printer.h"

#include "audit/files/humantext.h"
#include "audit/names/romslist.h"
#include "cli/historyoutput.h"
#include "cli/nearmissoutput.h"
#include "cli/output.h"
#include "cli/problemsoutput.h"
#include "cli/run.h"

#include <QFile>
#include <QLocale>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

namespace {

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString folderPath(const QByteArray &path, const AuditInputs &inputs)
{
    QString relative = QFile::decodeName(path);
    if (inputs.zelvoraDir.isEmpty())
        return relative;
    return inputs.zelvoraDir + (inputs.zelvoraDir.endsWith(u'/') ? QString() : u"/"_s) + relative;
}

int romsListError(const AuditInputs &inputs, RomsListFault fault)
{
    QString text = u"Error: Can't find supported roms list or it is too big.\n"_s;
    if (inputs.romsListPath.isEmpty())
        text += message(u"(no file named %1 below %2)\n",
                        {MessageArg::own(quotedPath(kRomsListFileName.toString())), quotedPath(inputs.zelvoraDir)});
    else
        text += message(u"(%1: %2)\n",
                        {MessageArg::own(quotedPath(inputs.romsListPath)), MessageArg::own(romsListFaultText(fault))});
    printTo(stderr, text);
    return kExitRomsListUnusable;
}

// Says what the walk could not see. A folder the user may not read is a warning: the result stands for
// what could be read. A folder that could not be opened for any other reason makes the result
// incomplete, so it is not given at all. Returns false then.
bool reportWalk(const WalkReport &walk, const AuditInputs &inputs)
{
    constexpr std::size_t kMostNamed = 20;
    const auto name = [&](const std::vector<UnreadFolder> &folders, QStringView line) {
        for (std::size_t i = 0; i < folders.size() && i < kMostNamed; ++i)
            printTo(stderr, message(line, {MessageArg::own(quotedPath(folderPath(folders[i].path, inputs))),
                                           errorText(folders[i].error)}));
        if (folders.size() > kMostNamed)
            printTo(stderr, message(u"  ... and %1 more folders\n", {folders.size() - kMostNamed}));
    };
    name(walk.unreadable, u"Warning: the folder %1 could not be read (%2); its files are not counted.\n");
    if (walk.isComplete())
        return true;
    name(walk.failed, u"Error: the folder %1 could not be read (%2).\n");
    printTo(stderr, u"Error: the folders could not be read completely; no result is given.\n"_s);
    return false;
}

bool writeBytes(const QByteArray &text)
{
    return std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size()) &&
           std::fflush(stdout) == 0;
}

} // namespace

Printer::Printer(const Options &options, const AuditSession &session)
    : m_options(options), m_inputs(session.request().inputs), m_outcome(session.outcome())
{}

int Printer::reportAudits() const
{
    if (m_outcome.dirWarning)
        printTo(stderr, shownText(*m_outcome.dirWarning) + u'\n');
    if (m_outcome.wantsRoms) {
        if (!m_outcome.roms.audit)
            return romsListError(m_inputs, m_outcome.listFault);
        if (!reportWalk(m_outcome.roms.audit->found.walk, m_inputs))
            return kExitIncomplete;
    }
    if (m_outcome.wantsVideos) {
        if (!m_outcome.videos.audit)
            return romsListError(m_inputs, m_outcome.listFault);
        if (!reportWalk(m_outcome.videos.audit->walk, m_inputs))
            return kExitIncomplete;
        if (!m_outcome.videos.audit->usedRomsList)
            printTo(stderr, u"Warning: Can't find supported roms list or it is too big; without it no video counts "
                            "as a video for a missing rom, every unexpected video is unknown.\n"_s);
    }
    return kExitOk;
}

void Printer::reportHistory() const
{
    for (const QString *warning : {&m_outcome.roms.history.warning, &m_outcome.videos.history.warning}) {
        if (!warning->isEmpty())
            printTo(stderr, message(u"Warning: %1\n", {*warning}));
    }
}

void Printer::reportVerify() const
{
    const std::optional<VerifySummary> &summary = m_outcome.roms.verify;
    if (!summary)
        return;
    if (!summary->cacheWarning.isEmpty())
        printTo(stderr, message(u"Warning: %1\n", {summary->cacheWarning}));
    printTo(stderr, verifySummaryText(*summary) + u'\n');
}

template <typename Audit> QByteArray Printer::extrasText(const AuditPart<Audit> &part) const
{
    QByteArray text;
    if (part.nearMisses)
        text += '\n' + nearMissTextOutput(*part.nearMisses);
    if (m_options.problems)
        text += '\n' + problemsText(part.problems);
    if (part.history.changes)
        text += '\n' + changesText(part.history.changes);
    return text;
}

template <typename Audit> QByteArray Printer::jsonMembers(const AuditPart<Audit> &part) const
{
    QByteArray members;
    if (part.nearMisses)
        members += nearMissJsonMembers(*part.nearMisses);
    if (m_options.problems)
        members += problemsJsonMember(part.problems);
    if (part.historyKept)
        members += changesJsonMember(part.history.changes);
    return members;
}

bool Printer::writeResults() const
{
    const bool all = m_outcome.wantsRoms && m_outcome.wantsVideos;
    const AuditPart<RomAudit> &roms = m_outcome.roms;
    const AuditPart<VideoAudit> &videos = m_outcome.videos;
    if (m_options.format == OutputFormat::Json) {
        // JSON is written as it is made: a million names never sit in memory twice.
        return (!all || writeBytes("{\n  \"audit\": \"all\",\n  \"roms\": ")) &&
               (!roms.audit || writeRomJsonOutput(stdout, m_inputs, roms.audit->lists, jsonMembers(roms))) &&
               (!all || writeBytes(",\n  \"videos\": ")) &&
               (!videos.audit || writeVideoJsonOutput(stdout, m_inputs, videos.audit->lists, jsonMembers(videos))) &&
               (!all || writeBytes("}\n"));
    }
    // The text is made list by list, each audit whole.
    return (!roms.audit || writeBytes(romTextOutput(roms.audit->lists) + extrasText(roms))) &&
           (!all || writeBytes("\n")) &&
           (!videos.audit || writeBytes(videoTextOutput(videos.audit->lists) + extrasText(videos)));
}

std::vector<ReportFile> Printer::reportFiles() const
{
    std::vector<ReportFile> files;
    const auto add = [&files](std::vector<ReportFile> more) {
        files.insert(files.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    };
    if (const AuditPart<RomAudit> &roms = m_outcome.roms; roms.audit) {
        add(romReportFiles(roms.audit->lists));
        if (roms.nearMisses)
            files.push_back(romNearMissReportFile(*roms.nearMisses));
        if (m_options.problems)
            files.push_back({kRomProblemsFileName.toString(), problemsCsv(roms.problems)});
    }
    if (const AuditPart<VideoAudit> &videos = m_outcome.videos; videos.audit) {
        add(videoReportFiles(videos.audit->lists));
        if (videos.nearMisses)
            files.push_back(videoNearMissReportFile(*videos.nearMisses));
        if (m_options.problems)
            files.push_back({kVideoProblemsFileName.toString(), problemsCsv(videos.problems)});
    }
    return files;
}

void Printer::reportWriteFailures(const QList<WriteFailure> &failures)
{
    for (const WriteFailure &failure : failures)
        printTo(stderr, message(u"Error: %1 was not written to %2: %3\n",
                                {failure.fileName, MessageArg::own(quotedPath(failure.path)), failure.reason}));
}

} // namespace zelvora::cli
