// Safe renames, bottom up: the journal's field escapes, the folder opened by a walk that follows no
// link, the one rename that never replaces, the journal file (writing, naming, reading), and the two
// calls of saferename.h.

#include "audit/nearmiss/saferename.h"

#include "audit/files/humantext.h"
#include "audit/files/storedsettings.h"
#include "audit/names/filenames.h"
#include "platform/fs/renamenoreplace.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

constexpr char kJournalFirstLine[] = "zelvora-auditor rename journal 1";
constexpr char kJournalPrefix[] = "zelvora-auditor rename journal ";
// A journal of a million renames stays well below this; anything larger is no journal of ours.
constexpr qint64 kJournalMaxBytes = qint64(512) * 1024 * 1024;
// A rename line: a folder path and two names, each byte escaped at worst, and an identity.
constexpr qsizetype kJournalMaxLineBytes = qsizetype(64) * 1024;

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// --- Field escapes ---

bool needsEscape(char32_t cp)
{
    return cp <= 0x20 || cp == '%' || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

void appendEscaped(QByteArray &out, unsigned char byte)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    out += '%';
    out += hex[byte >> 4];
    out += hex[byte & 0xF];
}

QByteArray escapeField(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return "%"; // never written: folders and names are never empty
    // Decoded the way file names are: valid UTF-8 stays readable, every other byte is a lone surrogate.
    const QString text = decodeFileName(bytes);
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
            appendEscaped(out, static_cast<unsigned char>(c.unicode() - 0xDC00));
            continue;
        }
        const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const QByteArray utf8 = QStringView(text).sliced(i, pair ? 2 : 1).toUtf8();
        if (pair)
            ++i;
        if (needsEscape(pair ? QChar::surrogateToUcs4(c, text.at(i)) : c.unicode())) {
            for (const char byte : utf8)
                appendEscaped(out, static_cast<unsigned char>(byte));
        } else {
            out += utf8;
        }
    }
    return out;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower case is never written
}

// The bytes of a field; nothing when it is not one escapeField could have written.
std::optional<QByteArray> unescapeField(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        if (byte == '%') {
            if (i + 2 >= field.size())
                return std::nullopt;
            const int high = hexValue(field[i + 1]);
            const int low = hexValue(field[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += char(high << 4 | low);
            i += 2;
        } else if (byte <= 0x20 || byte == 0x7F) {
            return std::nullopt;
        } else {
            out += char(byte);
        }
    }
    if (out.isEmpty() || escapeField(out) != field)
        return std::nullopt;
    return out;
}

// --- Folders ---

class Handle
{
public:
    Handle() = default;
    explicit Handle(int fd) : m_fd(fd) {}
    Handle(Handle &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Handle &operator=(Handle &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

bool isPlainComponent(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

// Opens `folder` below the Zelvora directory one component at a time. The Zelvora directory and the
// first folder below it (a rom or video folder, which may be kept elsewhere behind a link, as the audit
// allows) are followed if they are links; nothing deeper is, so a link swapped in for a folder cannot
// send a rename elsewhere. On Linux (O_PATH) a folder the user may not list can still be renamed in.
Handle openFolder(const QByteArray &zelvoraDir, const QByteArray &folder, QString &error)
{
    constexpr int flags = fs::kNamingFolderFlags;
    Handle current(::open(zelvoraDir.constData(), flags));
    if (current.get() < 0) {
        error = reason(errno);
        return {};
    }
    if (folder.isEmpty())
        return current;
    const QList<QByteArray> components = folder.split('/');
    for (qsizetype i = 0; i < components.size(); ++i) {
        if (!isPlainComponent(components[i])) {
            error = u"the folder is not a plain path below the Zelvora directory"_s;
            return {};
        }
        Handle next(::openat(current.get(), components[i].constData(), i == 0 ? flags : flags | O_NOFOLLOW));
        if (next.get() < 0) {
            // A link met with O_NOFOLLOW fails as ELOOP, or as ENOTDIR with O_PATH: not a folder either way.
            error = reason(errno == ENOTDIR || errno == ELOOP ? ENOTDIR : errno);
            return {};
        }
        current = std::move(next);
    }
    return current;
}

// --- The rename ---

// Renames `from` to `to` in `dir` unless something is named `to`. Empty, or why not.
QString renameWithoutReplacing(int dir, const QByteArray &from, const QByteArray &to)
{
    const int error = fs::renameNoReplace(dir, from.constData(), to.constData());
    return error == 0 ? QString() : reason(error);
}

// Checks a request and gives its folder and names as bytes; empty, or why it is refused.
QString requestBytes(const RenameRequest &request, QByteArray &folder, QByteArray &from, QByteArray &to)
{
    folder = encodeFileName(request.folder);
    from = encodeFileName(request.oldName);
    to = encodeFileName(request.newName);
    for (const QByteArray *name : {&from, &to}) {
        if (!isPlainComponent(*name))
            return u"a name may not be empty, \".\" or \"..\", nor hold a \"/\""_s;
    }
    if (from == to)
        return u"the old and the new name are the same"_s;
    if (!folder.isEmpty()) {
        for (const QByteArray &component : folder.split('/')) {
            if (!isPlainComponent(component))
                return u"the folder is not a plain path below the Zelvora directory"_s;
        }
    }
    return {};
}

// --- The journal file ---

QString journalFileName(const QDateTime &when, int attempt)
{
    const QString stamp = when.toUTC().toString(u"yyyyMMdd-HHmmss"_s);
    return attempt <= 1 ? stamp + u".journal"_s : u"%1-%2.journal"_s.arg(stamp).arg(attempt);
}

bool writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            return false;
    }
    return true;
}

bool sync(int fd)
{
    int synced = 0;
    do
        synced = ::fdatasync(fd);
    while (synced != 0 && errno == EINTR);
    return synced == 0 || errno == EINVAL || errno == ENOTSUP;
}

// Creates the journal: at `path`, or under a new name in journalFolder(). Returns its handle, or -1
// with `error` set.
int createJournal(QString &path, QString &error)
{
    const auto create = [&](const QString &candidate) {
        const QByteArray encoded = encodeFileName(candidate);
        return ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    };
    if (!path.isEmpty()) {
        const int fd = create(path);
        if (fd < 0)
            error = reason(errno);
        return fd;
    }
    const QString folder = journalFolder();
    if (!QDir().mkpath(folder)) {
        error = u"can't create the folder \"%1\""_s.arg(folder);
        path = folder;
        return -1;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        path = folder + u'/' + journalFileName(now, attempt);
        const int fd = create(path);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0)
                error = reason(errno);
            return fd;
        }
    }
    error = reason(EEXIST);
    return -1;
}

// Which file a rename moved: its device and inode, so that undo moves that file back and no other.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

FileIdentity identityOf(const struct stat &st)
{
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

QByteArray identityField(const FileIdentity &identity)
{
    return QByteArray::number(identity.device) + ':' + QByteArray::number(identity.inode);
}

bool parseIdentity(const QByteArray &field, std::optional<FileIdentity> &identity)
{
    const QList<QByteArray> parts = field.split(':');
    bool deviceOk = false;
    bool inodeOk = false;
    if (parts.size() != 2)
        return false;
    identity = FileIdentity{parts[0].toULongLong(&deviceOk), parts[1].toULongLong(&inodeOk)};
    return deviceOk && inodeOk && identityField(*identity) == field;
}

// "." or plain components below the Zelvora directory: never absolute, never "..".
bool isPlainFolder(const QByteArray &folder)
{
    if (folder == ".")
        return true;
    const QList<QByteArray> components = folder.split('/');
    return std::all_of(components.begin(), components.end(), isPlainComponent);
}

struct JournalRecord
{
    QByteArray folder; // empty for the Zelvora directory itself
    QByteArray from;
    QByteArray to;
    enum class Outcome { Unknown, Renamed, Failed } outcome = Outcome::Unknown;
    // Journals written before identities were kept have none.
    std::optional<FileIdentity> identity;
};

struct Journal
{
    QByteArray zelvoraDir;
    std::vector<JournalRecord> records;
};

// Reads a journal; nothing, with `error` set, when it cannot be trusted whole.
std::optional<Journal> readJournal(const QString &path, QString &error)
{
    const QByteArray encoded = encodeFileName(path);
    // Never opened when it is not a regular file: a FIFO would block.
    Handle fd(::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st = {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        error = reason(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode) || st.st_size > kJournalMaxBytes) {
        error = u"not a rename journal"_s;
        return std::nullopt;
    }
    // A journal says which files to rename where: only one its own user wrote, and that no one else
    // may change, is followed (as ssh treats its keys).
    if (st.st_uid != ::geteuid()) {
        error = u"the journal belongs to another user"_s;
        return std::nullopt;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        error = u"the journal may be changed by other users (it is writable by its group or by others)"_s;
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.resize(qsizetype(st.st_size));
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, std::size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = reason(errno);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);

    QList<QByteArray> lines = bytes.split('\n');
    // What follows the last line end was being written when the program stopped: a rename record
    // cut short was never synced, so its rename never happened; an outcome cut short leaves the
    // outcome unknown, which undo handles. Anything else there (a NUL, or more than a line) is no
    // part of a journal.
    if (lines.constLast().contains('\0') || lines.constLast().size() > kJournalMaxLineBytes) {
        error = u"the journal is damaged (its end)"_s;
        return std::nullopt;
    }
    lines.removeLast();
    // A journal edited on Windows ends its lines with CR LF; a CR of a field is always written as %0D.
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    const auto damaged = [&](qsizetype line) {
        error = u"the journal is damaged (line %1)"_s.arg(line + 1);
        return std::nullopt;
    };
    if (lines.isEmpty() || !lines[0].startsWith(kJournalPrefix)) {
        error = u"not a rename journal"_s;
        return std::nullopt;
    }
    if (lines[0] != kJournalFirstLine) {
        error = message(u"a journal of another version (\"%1\"), which this version cannot read",
                        {QString::fromUtf8(lines[0].mid(qsizetype(sizeof kJournalPrefix - 1), 20))});
        return std::nullopt;
    }
    Journal journal;
    if (lines.size() < 2 || !lines[1].startsWith("directory "))
        return damaged(1);
    const std::optional<QByteArray> dir = unescapeField(QByteArrayView(lines[1]).sliced(10));
    if (!dir)
        return damaged(1);
    journal.zelvoraDir = *dir;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const QList<QByteArray> fields = line.split(' ');
        if (fields[0] == "rename" && (fields.size() == 4 || fields.size() == 5)) {
            const auto folder = unescapeField(fields[1]);
            const auto from = unescapeField(fields[2]);
            const auto to = unescapeField(fields[3]);
            if (!folder || !from || !to || !isPlainComponent(*from) || !isPlainComponent(*to) ||
                !isPlainFolder(*folder))
                return damaged(i);
            JournalRecord &record = journal.records.emplace_back(JournalRecord{
                *folder == "." ? QByteArray() : *folder, *from, *to, JournalRecord::Outcome::Unknown, std::nullopt});
            if (fields.size() == 5 && !parseIdentity(fields[4], record.identity))
                return damaged(i);
        } else if ((line == "renamed" || (fields[0] == "failed" && fields.size() == 2 && unescapeField(fields[1]))) &&
                   !journal.records.empty() && journal.records.back().outcome == JournalRecord::Outcome::Unknown) {
            journal.records.back().outcome =
                line == "renamed" ? JournalRecord::Outcome::Renamed : JournalRecord::Outcome::Failed;
        } else {
            return damaged(i);
        }
    }
    return journal;
}

RenameRequest requestOf(const JournalRecord &record)
{
    return {decodeFileName(record.folder), decodeFileName(record.from), decodeFileName(record.to)};
}

} // namespace

qsizetype RenameReport::doneCount() const
{
    return std::count_if(outcomes.begin(), outcomes.end(), [](const RenameOutcome &o) { return o.isDone(); });
}

bool UndoReport::allDone() const
{
    return error.isEmpty() &&
           std::all_of(outcomes.begin(), outcomes.end(), [](const UndoOutcome &o) { return o.isDone(); });
}

QString journalFolder()
{
    return u"%1/%2/%3/renames"_s.arg(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                                     kSettingsOrganization, kSettingsApplication);
}

std::optional<QString> latestJournal()
{
    // Named by their time, so the names sort as the times do; "-N" counts within one second.
    static const QRegularExpression pattern(u"^(\\d{8}-\\d{6})(?:-(\\d{1,4}))?\\.journal$"_s);
    const QDir folder(journalFolder());
    std::optional<QString> latest;
    std::pair<QString, int> latestKey;
    for (const QString &name : folder.entryList({u"*.journal"_s}, QDir::Files)) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const std::pair<QString, int> key{match.captured(1),
                                          match.captured(2).isEmpty() ? 1 : match.captured(2).toInt()};
        if (!latest || key > latestKey) {
            latest = folder.filePath(name);
            latestKey = key;
        }
    }
    return latest;
}

RenameReport renameSafely(const QString &zelvoraDir, const std::vector<RenameRequest> &requests,
                          const QString &journalPath, const std::function<void(const QString &)> &journalReady)
{
    RenameReport report;
    if (requests.empty())
        return report;
    report.journalPath = journalPath;
    Handle journal(createJournal(report.journalPath, report.error));
    if (journal.get() < 0) {
        report.error = u"the undo journal \"%1\" could not be created: %2"_s.arg(report.journalPath, report.error);
        return report;
    }
    // Absolute, so that undo works from anywhere; links are kept as the user gave them.
    const QByteArray dir = encodeFileName(QFileInfo(zelvoraDir).absoluteFilePath());
    // The journal's own name must survive a crash too, not only its content.
    const Handle journalParent(::open(encodeFileName(QFileInfo(report.journalPath).absolutePath()).constData(),
                                      O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!writeAll(journal.get(), kJournalFirstLine + "\ndirectory "_ba + escapeField(dir) + '\n') ||
        !sync(journal.get()) || (journalParent.get() >= 0 && !sync(journalParent.get()))) {
        report.error = u"the undo journal \"%1\" could not be written: %2"_s.arg(report.journalPath, reason(errno));
        ::unlink(encodeFileName(report.journalPath).constData());
        return report;
    }
    if (journalReady)
        journalReady(report.journalPath);

    report.outcomes.reserve(requests.size());
    // After a failed write the journal ends in a line cut short, which a reader leaves out; anything
    // written after it would make the journal damaged, so nothing more is renamed.
    QString journalFault;
    for (const RenameRequest &request : requests) {
        RenameOutcome &outcome = report.outcomes.emplace_back(RenameOutcome{request, {}});
        if (!journalFault.isEmpty()) {
            outcome.error = journalFault;
            continue;
        }
        QByteArray folder;
        QByteArray from;
        QByteArray to;
        outcome.error = requestBytes(request, folder, from, to);
        if (!outcome.error.isEmpty())
            continue;
        const Handle folderHandle = openFolder(dir, folder, outcome.error);
        if (folderHandle.get() < 0)
            continue;
        struct stat st = {};
        if (::fstatat(folderHandle.get(), from.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            outcome.error = reason(errno);
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            outcome.error = u"not a regular file"_s;
            continue;
        }
        // Recorded and on disk before the rename: after a crash the journal knows every rename made.
        const QByteArray record = "rename "_ba + (folder.isEmpty() ? "."_ba : escapeField(folder)) + ' ' +
                                  escapeField(from) + ' ' + escapeField(to) + ' ' + identityField(identityOf(st)) +
                                  '\n';
        if (!writeAll(journal.get(), record) || !sync(journal.get())) {
            journalFault = u"not tried: the undo journal could not be written (%1)"_s.arg(reason(errno));
            outcome.error = journalFault;
            continue;
        }
        outcome.error = renameWithoutReplacing(folderHandle.get(), from, to);
        // Unsynced: a lost outcome only makes undo look for itself.
        const QByteArray result =
            outcome.error.isEmpty() ? "renamed\n"_ba : "failed "_ba + escapeField(outcome.error.toUtf8()) + '\n';
        if (!writeAll(journal.get(), result))
            journalFault = u"not tried: the undo journal could not be written (%1)"_s.arg(reason(errno));
    }
    static_cast<void>(sync(journal.get()));
    return report;
}

UndoReport undoRenames(const QString &journalPath)
{
    UndoReport report;
    const std::optional<Journal> journal = readJournal(journalPath, report.error);
    if (!journal)
        return report;
    report.zelvoraDir = decodeFileName(journal->zelvoraDir);
    for (auto it = journal->records.rbegin(); it != journal->records.rend(); ++it) {
        const JournalRecord &record = *it;
        if (record.outcome == JournalRecord::Outcome::Failed)
            continue;
        UndoOutcome outcome{requestOf(record), {}};
        const Handle folder = openFolder(journal->zelvoraDir, record.folder, outcome.error);
        if (folder.get() >= 0) {
            struct stat st = {};
            if (::fstatat(folder.get(), record.to.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT && record.outcome == JournalRecord::Outcome::Unknown)
                    continue; // stopped before its rename
                const int error = errno;
                struct stat old = {};
                const bool oldTaken = ::fstatat(folder.get(), record.from.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
                // The very file is under its old name again (an undo retried after a partial one): back.
                if (error == ENOENT && oldTaken && record.identity && *record.identity == identityOf(old)) {
                    report.outcomes.push_back(std::move(outcome));
                    continue;
                }
                outcome.error = error != ENOENT ? reason(error)
                                : oldTaken ? u"it is no longer there, and its old name is taken (put back already?)"_s
                                           : u"it is no longer there"_s;
            } else if (!S_ISREG(st.st_mode)) {
                outcome.error = u"what is there now is not a regular file"_s;
            } else if (record.identity && *record.identity != identityOf(st)) {
                outcome.error = u"replaced since: the file there now is not the one that was renamed"_s;
            } else {
                outcome.error = renameWithoutReplacing(folder.get(), record.to, record.from);
                if (outcome.error == reason(EEXIST))
                    outcome.error = u"its old name is taken"_s;
            }
        }
        report.outcomes.push_back(std::move(outcome));
    }
    return report;
}

} // namespace zelvora
