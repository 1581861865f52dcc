// The problem kinds' identifiers, the pairing of found files with expected names (the merge's own
// rule), the file checks run on all cores, the list checks, and the two audits' collections.

#include "audit/checks/problems.h"

#include "audit/checks/zipcheck.h"
#include "audit/files/csv.h"
#include "audit/names/filenames.h"
#include "audit/names/names.h"
#include "audit/names/romslist.h"
#include "audit/parallel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <iterator>
#include <mutex>
#include <numeric>
#include <span>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zelvora {

using namespace Qt::StringLiterals;

namespace {

std::string_view keyOf(const NameBlock &names, bool separators, qsizetype i)
{
    return separators ? lastPathComponent(names.at(i)) : names.at(i);
}

QString quotedText(std::string_view name)
{
    return u'"' + QString::fromUtf8(name.data(), qsizetype(name.size())) + u'"';
}

QByteArray joined(const QString &directory, const QByteArray &relative)
{
    QByteArray path = encodeFileName(directory);
    if (!path.isEmpty() && !path.endsWith('/'))
        path += '/';
    return path + relative;
}

enum class FileCheck : unsigned char { Fine, Empty, NotAZip, DamagedZip };

struct FileVerdict
{
    FileCheck check = FileCheck::Fine;
    QString detail;        // DamagedZip: why
    FileIdentity identity; // of a regular file, as opened
};

// Never follows a link, never blocks on a special file that took the file's place. Reads the first
// byte of a file (without `zipSignature`) or the first 8 KiB of a zip. The bytes read tell a file that
// starts as it should from an empty or a wrong one, so only the rare other file is looked at (fstat) to
// tell an empty regular file from a special one. pread never takes bytes from a pipe or a terminal: it
// refuses them (ESPIPE) and leaves them be. A zip that starts as it should then has its structure read
// from its end (zipcheck.h): from the bytes already read when they are the whole file, as they are for
// the smallest archives, else on the same descriptor.
FileVerdict checkFile(int folderFd, const char *name, bool zipSignature)
{
    const int fd = ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {}; // gone or unreadable since the walk: nothing to say about its bytes
    constexpr std::size_t kZipHead = 8192;
    thread_local std::array<char, kZipHead> head;
    const std::size_t wanted = zipSignature ? kZipHead : 1;
    ssize_t n = -1;
    do {
        n = ::pread(fd, head.data(), wanted, 0);
    } while (n < 0 && errno == EINTR);
    const std::size_t starts = zipSignature ? 4 : 1;
    FileVerdict result;
    if (n >= 0 && !(std::size_t(n) >= starts && (!zipSignature || isZipSignature(head.data())))) {
        struct stat st = {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            result.identity = fileIdentity(st);
            if (n == 0 && st.st_size == 0)
                result.check = FileCheck::Empty;
            else if (zipSignature && n > 0)
                result.check = FileCheck::NotAZip;
        }
    } else if (n > 0 && zipSignature) {
        // A regular file: the signature was read, which a special file does not give.
        struct stat st = {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            result.identity = fileIdentity(st);
            if (quint64(n) == quint64(st.st_size)) {
                MemoryZipSource source(head.data(), std::size_t(n));
                result.detail = readZipDirectory(source, quint64(n), nullptr);
            } else {
                FileZipSource source(fd);
                result.detail = readZipDirectory(source, quint64(st.st_size), nullptr);
            }
            if (!result.detail.isEmpty())
                result.check = FileCheck::DamagedZip;
        }
    }
    ::close(fd);
    return result;
}

// The checks of all the files: one byte each, and a detail only for the few that are damaged, so that a
// collection of a million archives does not pay a string per file.
struct FileChecks
{
    std::vector<FileCheck> checks; // by slot
    // Per piece of work, as its thread found them: (slot, why).
    std::vector<std::vector<std::pair<std::size_t, QString>>> details;
    std::vector<FileIdentity> *identities = nullptr; // by found file, when asked for
};

// Checks the files `files` (indices into `found`), which share one folder, into `checks` at `slots`.
// The folder is opened once and each file by its name in it: resolving whole paths file by file costs
// more than reading the 4 bytes.
void checkFolder(const QString &zelvoraDir, const FoundFiles &found, std::span<const qsizetype> files,
                 std::span<const std::size_t> slots, FileChecks &checks, std::size_t piece, bool zipSignature)
{
    const std::string_view folder = found.folderOf(files.front());
    const QByteArray folderPath = joined(zelvoraDir, QByteArray(folder.data(), qsizetype(folder.size())));
    const int folderFd = ::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return;
    std::string name;
    for (std::size_t i = 0; i < files.size(); ++i) {
        name.assign(found.names.at(files[i]));
        FileVerdict verdict = checkFile(folderFd, name.c_str(), zipSignature);
        checks.checks[slots[i]] = verdict.check;
        if (checks.identities != nullptr)
            (*checks.identities)[std::size_t(files[i])] = verdict.identity;
        if (!verdict.detail.isEmpty())
            checks.details[piece].emplace_back(slots[i], std::move(verdict.detail));
    }
    ::close(folderFd);
}

} // namespace

QStringView problemKindId(ProblemKind kind)
{
    switch (kind) {
    case ProblemKind::UnreadableFolder:
        return u"unreadable-folder";
    case ProblemKind::LinkSkipped:
        return u"link-skipped";
    case ProblemKind::NotAFile:
        return u"not-a-file";
    case ProblemKind::Duplicate:
        return u"duplicate";
    case ProblemKind::EmptyFile:
        return u"empty-file";
    case ProblemKind::NotAZip:
        return u"not-a-zip";
    case ProblemKind::DamagedZip:
        return u"damaged-zip";
    case ProblemKind::DamagedEntry:
        return u"damaged-entry";
    case ProblemKind::ListDuplicate:
        return u"list-duplicate";
    case ProblemKind::ListWhitespace:
        return u"list-whitespace";
    }
    return {};
}

std::vector<qsizetype> pairFoundWithExpected(const FoundFiles &found, const NameBlock &expected)
{
    const bool separators = expected.holdsSeparator();
    std::vector<qsizetype> pairing(std::size_t(found.size()), -1);
    qsizetype f = 0;
    qsizetype e = 0;
    while (f < found.size() && e < expected.size()) {
        const int order = compareNameComponents(found.names.at(f), keyOf(expected, separators, e));
        if (order == 0)
            pairing[std::size_t(f++)] = e++;
        else if (order > 0)
            ++e;
        else
            ++f;
    }
    return pairing;
}

qsizetype countedCopy(const FoundFiles &found, qsizetype paired)
{
    qsizetype counted = paired;
    QByteArray countedPath = foundPath(found, paired);
    for (qsizetype i = paired + 1; i < found.size() && found.names.at(i) == found.names.at(paired); ++i) {
        if (QByteArray path = foundPath(found, i); path < countedPath) {
            counted = i;
            countedPath = std::move(path);
        }
    }
    return counted;
}

QByteArray foundPath(const FoundFiles &found, qsizetype i)
{
    const std::string_view folder = found.folderOf(i);
    const std::string_view name = found.names.at(i);
    QByteArray path;
    path.reserve(qsizetype(folder.size()) + qsizetype(name.size()) + 1);
    path.append(folder.data(), qsizetype(folder.size()));
    if (!folder.empty())
        path.append('/');
    path.append(name.data(), qsizetype(name.size()));
    return path;
}

std::vector<Problem> walkProblems(const WalkReport &walk)
{
    std::vector<Problem> problems;
    for (const auto *folders : {&walk.unreadable, &walk.failed}) {
        for (const UnreadFolder &folder : *folders)
            problems.push_back(
                {ProblemKind::UnreadableFolder, folder.path, QString::fromLocal8Bit(std::strerror(folder.error))});
    }
    for (const SkippedLink &link : walk.links)
        problems.push_back({ProblemKind::LinkSkipped, link.path,
                            u"a link to \"%1\"; links are not followed"_s.arg(decodeFileName(link.target))});
    for (const QByteArray &path : walk.specialFiles)
        problems.push_back({ProblemKind::NotAFile, path,
                            u"not a regular file (a FIFO, socket or device): it is never opened nor counted"_s});
    return problems;
}

std::vector<Problem> fileProblems(const QString &zelvoraDir, const FoundFiles &found,
                                  const std::vector<qsizetype> &pairing, bool zipSignature,
                                  std::vector<FileIdentity> *identities)
{
    std::vector<Problem> problems;
    // The merge pairs the first of equal names; the others are second copies of a game that counted.
    qsizetype counted = -1;
    std::vector<qsizetype> paired;
    for (qsizetype f = 0; f < found.size(); ++f) {
        if (pairing[std::size_t(f)] >= 0) {
            counted = countedCopy(found, f);
            paired.push_back(counted);
        }
        if (f != counted && counted >= 0 && pairing[std::size_t(f)] < 0 &&
            compareNameComponents(found.names.at(f), found.names.at(counted)) == 0) {
            problems.push_back({ProblemKind::Duplicate, foundPath(found, f),
                                u"the copy that counts is \"%1\""_s.arg(decodeFileName(foundPath(found, counted)))});
        }
        if (f != counted && pairing[std::size_t(f)] >= 0 && counted > f) {
            // The paired file gave its place to a copy of exactly its name that comes first in path order.
            problems.push_back({ProblemKind::Duplicate, foundPath(found, f),
                                u"the copy that counts is \"%1\""_s.arg(decodeFileName(foundPath(found, counted)))});
        }
    }

    // Folder by folder, in pieces small enough to spread a large folder over the cores.
    constexpr std::size_t kPiece = 256;
    std::vector<std::size_t> order(paired.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return found.folders[std::size_t(paired[a])] < found.folders[std::size_t(paired[b])];
    });
    std::vector<qsizetype> files(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        files[i] = paired[order[i]];
    std::vector<std::pair<std::size_t, std::size_t>> pieces; // [begin, end) in `order`
    for (std::size_t begin = 0; begin < order.size();) {
        std::size_t end = begin + 1;
        while (end < order.size() && end - begin < kPiece &&
               found.folders[std::size_t(files[end])] == found.folders[std::size_t(files[begin])])
            ++end;
        pieces.emplace_back(begin, end);
        begin = end;
    }
    if (identities != nullptr)
        identities->assign(std::size_t(found.size()), FileIdentity{});
    FileChecks checks{std::vector<FileCheck>(paired.size()), decltype(FileChecks::details)(pieces.size()), identities};
    onAllCores(pieces.size(), [&](std::size_t p) {
        const auto [begin, end] = pieces[p];
        checkFolder(zelvoraDir, found, std::span(files).subspan(begin, end - begin),
                    std::span(order).subspan(begin, end - begin), checks, p, zipSignature);
    });
    std::vector<std::pair<std::size_t, QString>> details;
    for (auto &piece : checks.details)
        std::move(piece.begin(), piece.end(), std::back_inserter(details));
    std::sort(details.begin(), details.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    auto detail = details.begin();
    for (const FileCheck check : {FileCheck::Empty, FileCheck::NotAZip, FileCheck::DamagedZip}) {
        for (std::size_t i = 0; i < paired.size(); ++i) {
            if (checks.checks[i] != check)
                continue;
            if (check == FileCheck::Empty)
                problems.push_back({ProblemKind::EmptyFile, foundPath(found, paired[i]), u"the file is empty"_s});
            else if (check == FileCheck::NotAZip)
                problems.push_back(
                    {ProblemKind::NotAZip, foundPath(found, paired[i]),
                     u"the file does not start with a zip signature (PK\\3\\4, PK\\5\\6 or PK\\7\\8)"_s});
            else {
                while (detail != details.end() && detail->first < i)
                    ++detail;
                problems.push_back({ProblemKind::DamagedZip, foundPath(found, paired[i]),
                                    detail != details.end() && detail->first == i ? detail->second : QString()});
            }
        }
    }
    return problems;
}

// The list's path as its problems name it: like the files' paths, below the Zelvora directory.
static QByteArray shownListPath(const QString &listPath, const QString &zelvoraDir)
{
    if (!zelvoraDir.isEmpty()) {
        const QString below =
            QDir(QFileInfo(zelvoraDir).absoluteFilePath()).relativeFilePath(QFileInfo(listPath).absoluteFilePath());
        if (!below.isEmpty() && !QDir::isAbsolutePath(below) && below != ".."_L1 && !below.startsWith("../"_L1))
            return encodeFileName(below);
    }
    return encodeFileName(listPath);
}

std::vector<Problem> listProblems(const QString &listPath, const NameBlock &sorted, const NameBlock &lines,
                                  const QString &zelvoraDir)
{
    std::vector<Problem> problems;
    const QByteArray path = shownListPath(listPath, zelvoraDir);
    const bool separators = sorted.holdsSeparator();
    for (qsizetype i = 1; i < sorted.size(); ++i) {
        if (compareNameComponents(keyOf(sorted, separators, i), keyOf(sorted, separators, i - 1)) != 0)
            continue;
        QString detail = u"%1 is listed more than once"_s.arg(quotedText(sorted.at(i)));
        if (sorted.at(i) != sorted.at(i - 1))
            detail += u" (also as %1)"_s.arg(quotedText(sorted.at(i - 1)));
        problems.push_back({ProblemKind::ListDuplicate, path, detail});
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines.at(i);
        const auto blank = [](char c) { return c == ' ' || c == '\t'; };
        const bool starts = blank(line.front());
        const bool ends = blank(line.back());
        if (starts || ends)
            problems.push_back({ProblemKind::ListWhitespace, path,
                                u"the line %1 %2 with spaces or tabs, which are part of the name"_s.arg(
                                    quotedText(line), starts && ends ? u"starts and ends"_s
                                                      : starts       ? u"starts"_s
                                                                     : u"ends"_s)});
    }
    return problems;
}

static void appendAll(std::vector<Problem> &to, std::vector<Problem> from)
{
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

static void sortByKind(std::vector<Problem> &problems)
{
    std::stable_sort(problems.begin(), problems.end(),
                     [](const Problem &a, const Problem &b) { return a.kind < b.kind; });
}

std::vector<Problem> romProblems(const AuditInputs &inputs, const RomAudit &audit,
                                 std::vector<FileIdentity> *identities)
{
    std::vector<Problem> problems = walkProblems(audit.found.walk);
    appendAll(problems, fileProblems(inputs.zelvoraDir, audit.found,
                                     pairFoundWithExpected(audit.found, audit.supported), true, identities));
    appendAll(problems, listProblems(inputs.romsListPath, audit.supported, audit.listLines, inputs.zelvoraDir));
    sortByKind(problems);
    return problems;
}

std::vector<Problem> videoProblems(const AuditInputs &inputs, const VideoAudit &audit)
{
    std::vector<Problem> problems = walkProblems(audit.walk);
    appendAll(problems, fileProblems(inputs.zelvoraDir, audit.videos,
                                     pairFoundWithExpected(audit.videos, audit.expected), false));
    if (audit.listLines) {
        const NameBlock &sorted = audit.lookup ? *audit.lookup : audit.expected;
        if (audit.lookup || !inputs.availableRomsOnly)
            appendAll(problems, listProblems(inputs.romsListPath, sorted, *audit.listLines, inputs.zelvoraDir));
    }
    sortByKind(problems);
    return problems;
}

QByteArray problemsCsv(const std::vector<Problem> &problems)
{
    QByteArray out(kUtf8Bom);
    appendCsvRow(out, {"kind", "path", "detail"});
    for (const Problem &problem : problems)
        appendCsvRow(out, {problemKindId(problem.kind).toUtf8(), problem.path, problem.detail.toUtf8()});
    return out;
}

} // namespace zelvora
