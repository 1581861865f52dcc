// The table's rows: each list line looked up among the sorted archives and videos, the problems
// gathered by path, by link name and by list line, and the files no line names.

#include "audit/files/table.h"

#include "audit/files/csv.h"
#include "audit/names/names.h"
#include "audit/names/namesort.h"
#include "audit/names/romslist.h"
#include "audit/walk/scan.h"

#include <QHash>
#include <algorithm>

namespace zelvora {

namespace {

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

QString folded(std::string_view name)
{
    return QString::fromUtf8(name.data(), qsizetype(name.size())).toCaseFolded();
}

// The run of sorted names equal to `key` (by the audit's comparison), as [first, end).
std::pair<qsizetype, qsizetype> equalRun(const NameBlock &sorted, std::string_view key)
{
    qsizetype low = 0;
    qsizetype high = sorted.size();
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (compareNameComponents(lastPathComponent(sorted.at(middle)), key) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    qsizetype end = low;
    while (end < sorted.size() && compareNameComponents(lastPathComponent(sorted.at(end)), key) == 0)
        ++end;
    return {low, end};
}

// Problem kinds by the path they are about, and link kinds by the name of the link.
struct ProblemIndex
{
    QHash<QByteArray, QList<ProblemKind>> byPath;
    QHash<QString, QList<ProblemKind>> linksByName;

    void add(const std::vector<Problem> *problems)
    {
        for (const Problem &problem : problems ? *problems : std::vector<Problem>{}) {
            if (problem.kind == ProblemKind::LinkSkipped)
                linksByName[folded(lastPathComponent(view(problem.path)))].append(problem.kind);
            else if (problem.kind != ProblemKind::ListDuplicate && problem.kind != ProblemKind::ListWhitespace)
                byPath[problem.path].append(problem.kind);
        }
    }
};

void addKinds(QList<ProblemKind> &to, const QList<ProblemKind> &kinds)
{
    for (const ProblemKind kind : kinds) {
        if (!to.contains(kind))
            to.append(kind);
    }
}

QByteArray joinedKinds(QList<ProblemKind> kinds)
{
    std::sort(kinds.begin(), kinds.end());
    QByteArray out;
    for (const ProblemKind kind : kinds) {
        if (!out.isEmpty())
            out += " | ";
        out += problemKindId(kind).toUtf8();
    }
    return out;
}

// One side of a game's row: the files of its name, their paths joined, and their problems.
struct Side
{
    QByteArray name;
    qsizetype first = 0;
    qsizetype end = 0;
    QByteArray paths;
};

Side lookUp(const FoundFiles &found, std::string_view line, std::string_view extension, const ProblemIndex &index,
            QList<ProblemKind> &kinds)
{
    NameBlock block;
    block.appendWithExtension(line, extension);
    Side side;
    side.name = QByteArray(block.at(0).data(), qsizetype(block.at(0).size()));
    const std::string_view key = lastPathComponent(view(side.name));
    std::tie(side.first, side.end) = equalRun(found.names, key);
    const qsizetype counted = side.end > side.first ? countedCopy(found, side.first) : -1;
    const auto addPath = [&](qsizetype i) {
        const QByteArray path = foundPath(found, i);
        if (!side.paths.isEmpty())
            side.paths += " | ";
        side.paths += path;
        addKinds(kinds, index.byPath.value(path));
    };
    if (counted >= 0)
        addPath(counted);
    for (qsizetype i = side.first; i < side.end; ++i) {
        if (i != counted)
            addPath(i);
    }
    addKinds(kinds, index.linksByName.value(folded(key)));
    return side;
}

// Each paired expected name's possible match: the found file's path and the reason.
QHash<QByteArray, QByteArray> possibleMatches(const NearMisses *nearMisses)
{
    QHash<QByteArray, QByteArray> matches;
    if (nearMisses == nullptr)
        return matches;
    for (const NearMiss &pair : nearMisses->pairs) {
        matches.insert(QByteArray(pair.expected.data(), qsizetype(pair.expected.size())),
                       nearMissPathBytes(pair.file) + " (" + nearMissReasonId(pair.file.reason).toLatin1() + ')');
    }
    return matches;
}

} // namespace

QByteArray collectionTableCsv(const TableSources &sources)
{
    QByteArray out(kUtf8Bom);
    appendCsvRow(out, {"game", "rom", "rom_status", "rom_paths", "video", "video_status", "video_paths",
                       "possible_match", "problems"});
    const NameBlock *lines = &sources.roms->listLines;
    const FoundFiles &archives = sources.roms->found;
    const FoundFiles &videos = sources.videos->videos;
    ProblemIndex index;
    index.add(sources.romProblems);
    index.add(sources.videoProblems);

    const QByteArray romExtension = kRomExtension.toUtf8();
    const QByteArray videoExtension = kVideoExtension.toUtf8();
    // The lines' names as the audit compares them, to tell the lines that name one game twice.
    NameBlock romNames;
    for (qsizetype i = 0; i < lines->size(); ++i)
        romNames.appendWithExtension(lines->at(i), view(romExtension));
    romNames = sortNameBlock(romNames);

    const QHash<QByteArray, QByteArray> romMatches = possibleMatches(sources.romNearMisses);
    const QHash<QByteArray, QByteArray> videoMatches = possibleMatches(sources.videoNearMisses);
    std::vector<bool> archiveNamed(std::size_t(archives.size()), false);
    std::vector<bool> videoNamed(std::size_t(videos.size()), false);
    for (qsizetype i = 0; i < lines->size(); ++i) {
        const std::string_view line = lines->at(i);
        QList<ProblemKind> kinds;
        const Side rom = lookUp(archives, line, view(romExtension), index, kinds);
        const Side video = lookUp(videos, line, view(videoExtension), index, kinds);
        std::fill(archiveNamed.begin() + rom.first, archiveNamed.begin() + rom.end, true);
        std::fill(videoNamed.begin() + video.first, videoNamed.begin() + video.end, true);
        const auto [listFirst, listEnd] = equalRun(romNames, lastPathComponent(view(rom.name)));
        if (listEnd - listFirst > 1)
            kinds.append(ProblemKind::ListDuplicate);
        if (line.front() == ' ' || line.front() == '\t' || line.back() == ' ' || line.back() == '\t')
            kinds.append(ProblemKind::ListWhitespace);
        QByteArray match = romMatches.value(rom.name);
        if (const QByteArray videoMatch = videoMatches.value(video.name); !videoMatch.isEmpty())
            match += (match.isEmpty() ? "" : " | ") + videoMatch;
        appendCsvRow(out, {line, rom.name, rom.end > rom.first ? "valid" : "missing", rom.paths, video.name,
                           video.end > video.first ? "valid" : "missing", video.paths, match, joinedKinds(kinds)});
    }

    const auto unknownRows = [&](const FoundFiles &found, const std::vector<bool> &named, bool isRom) {
        for (qsizetype i = 0; i < found.size(); ++i) {
            if (named[std::size_t(i)])
                continue;
            const std::string_view name = found.names.at(i);
            const QByteArray path = foundPath(found, i);
            const QByteArray kinds = joinedKinds(index.byPath.value(path));
            if (isRom)
                appendCsvRow(out, {"", name, "unknown", path, "", "", "", "", kinds});
            else
                appendCsvRow(out, {"", "", "", "", name, "unknown", path, "", kinds});
        }
    };
    unknownRows(archives, archiveNamed, true);
    unknownRows(videos, videoNamed, false);
    return out;
}

} // namespace zelvora
