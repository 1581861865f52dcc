// The walker, bottom up: a file handle, the raw read of one directory, the depth-first walk of one
// tree (Walk), the sharing of folders between walkers (SharedWalk), and the two calls of dirwalk.h.

#include "audit/walk/dirwalk.h"

#include "audit/names/filenames.h"
#include "audit/names/textunits.h"
#include "platform/fs/directoryreader.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <fcntl.h>
#include <mutex>
#include <span>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zelvora {

void WalkReport::append(const WalkReport &other)
{
    unreadable.insert(unreadable.end(), other.unreadable.begin(), other.unreadable.end());
    failed.insert(failed.end(), other.failed.begin(), other.failed.end());
    links.insert(links.end(), other.links.begin(), other.links.end());
    specialFiles.insert(specialFiles.end(), other.specialFiles.begin(), other.specialFiles.end());
}

namespace {

// Never follow a link, never block on a FIFO that took a directory's place mid-walk.
constexpr int kDirectoryOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// Deep trees keep only this many directory handles open; the rest are reopened on the way back up.
constexpr std::size_t kMaxOpenLevels = 48;

// More walkers than this only queue at the disk.
constexpr unsigned kMaxWalkers = 8;

constexpr qint64 kProgressEvery = 2048;

// Out of file handles, a walker gives back its own and then waits this long, this many times, for
// other walkers to give back theirs before the folder counts as not read.
constexpr auto kHandleWait = std::chrono::milliseconds(5);
constexpr int kHandleWaits = 200;

class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept
    {
        reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

bool isOutOfHandles(int error)
{
    return error == EMFILE || error == ENFILE;
}

// A folder that went away or turned into something else while the walk ran.
bool isGone(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

bool isDenied(int error)
{
    return error == EACCES || error == EPERM;
}

// What a walk does with the entries of one directory.
struct Pending
{
    QByteArray name;
    bool isMatch = false; // a file the walk was looking for, placed in visit order among the folders
};

struct Frame
{
    FileDescriptor fd;
    dev_t device = 0;
    ino_t inode = 0;
    QByteArray name; // component below the parent frame
    WalkedFolder folder;
    std::vector<Pending> pending; // visited from the back
};

struct DirEntry
{
    const char *name; // NUL-terminated
    std::size_t length;
    fs::EntryType type; // never Unknown
};

QByteArray childPath(const QByteArray &folder, const QByteArray &name)
{
    return folder.isEmpty() ? name : folder + '/' + name;
}

// Reads the folder the reader was started on, whole; the entry type comes from the record, with an
// lstat-like look only when the file system does not give it. Returns 0, or the errno that broke the
// reading off (what was read still counts).
template <typename OnEntry>
int readDirectory(fs::DirectoryReader &reader, int fd, qint64 &entriesSeen, OnEntry &&onEntry)
{
    for (std::span<const fs::DirectoryEntry> batch = reader.next(); !batch.empty(); batch = reader.next()) {
        for (const fs::DirectoryEntry &entry : batch) {
            fs::EntryType type = entry.type;
            if (type == fs::EntryType::Unknown) {
                struct stat st = {};
                if (::fstatat(fd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = fs::typeOfMode(st.st_mode);
            }
            onEntry(DirEntry{entry.name.data(), entry.name.size(), type});
            ++entriesSeen;
        }
    }
    return reader.error();
}

// The stack of open folders of one depth-first walk below one root.
class Walk
{
public:
    // Reads one open folder, with the reader started on it, into its pending entries.
    using Lister = std::function<void(Frame &frame, fs::DirectoryReader &reader)>;
    using OnMatch = std::function<void(const Frame &frame, const QByteArray &name)>;
    // Offered each folder about to be entered, already open; returns true when it takes it over.
    using Donate = std::function<bool(Frame &child)>;

    // What is met below the roots of target t goes to reports[t].
    Walk(Lister lister, OnMatch onMatch, std::span<WalkReport> reports, Donate donate = {})
        : m_lister(std::move(lister)), m_onMatch(std::move(onMatch)), m_donate(std::move(donate)), m_reports(reports)
    {}

    // The root itself may be a link (a rom folder kept on another disk); nothing below it is followed.
    // An absent root, or one that is not a folder, contributes nothing.
    std::optional<Frame> openRoot(const QString &rootPath, const QByteArray &rootFolder, std::size_t target = 0)
    {
        const QByteArray path = encodeFileName(rootPath);
        Frame frame;
        frame.folder.path = rootFolder;
        frame.folder.target = target;
        frame.fd.reset(openRetrying([&] { return ::open(path.constData(), kDirectoryOpenFlags & ~O_NOFOLLOW); },
                                    frame.folder, 0, Seen::NotListed));
        if (!frame.fd.isOpen())
            return std::nullopt;
        return frame;
    }

    // Walks below an open folder: a root, or a folder another walk gave away. Returns true when a match
    // ended the walk.
    bool runFrom(Frame frame)
    {
        m_stack.clear();
        if (!enter(frame))
            return false;
        m_stack.push_back(std::move(frame));

        while (!m_stack.empty()) {
            Frame &top = m_stack.back();
            if (top.pending.empty()) {
                leave();
                continue;
            }
            Pending next = std::move(top.pending.back());
            top.pending.pop_back();
            if (next.isMatch) {
                m_onMatch(top, next.name);
                return true;
            }
            if (!top.fd.isOpen() && !reopen(m_stack.size() - 1)) {
                top.pending.clear();
                continue;
            }
            Frame child;
            child.folder.path = childPath(top.folder.path, next.name);
            child.folder.target = top.folder.target;
            child.fd.reset(
                openRetrying([&] { return ::openat(top.fd.get(), next.name.constData(), kDirectoryOpenFlags); },
                             child.folder, m_stack.size() - 1));
            if (!child.fd.isOpen())
                continue;
            child.name = std::move(next.name);
            if (m_donate && m_donate(child))
                continue;
            if (!enter(child))
                continue;
            if (child.pending.empty())
                continue; // a leaf: its handle closes here
            m_stack.push_back(std::move(child));
            if (m_stack.size() > kMaxOpenLevels + 1)
                m_stack[m_stack.size() - 1 - kMaxOpenLevels].fd.reset();
        }
        return false;
    }

private:
    // Whether the walk met the folder in its parent's listing: one that is gone when opened then means
    // the tree changed under the audit. A root that is not there is only absent.
    enum class Seen { Listed, NotListed };

    // Opens a folder; out of handles, gives back the handles of the frames below `needed` that it can
    // reopen later, then waits for other walkers to give back theirs. A folder it cannot open is
    // reported, unless it is an absent root.
    template <typename Open>
    int openRetrying(Open &&open, const WalkedFolder &folder, std::size_t needed = 0, Seen seen = Seen::Listed)
    {
        int fd = open();
        // Once a wait was in vain, the next folder gets none: the walk is incomplete either way.
        const int waits = m_waitedInVain ? 1 : kHandleWaits;
        for (int wait = 0; fd < 0 && isOutOfHandles(errno) && wait < waits; ++wait) {
            if (wait == 0)
                releaseHandles(needed);
            else
                std::this_thread::sleep_for(kHandleWait);
            fd = open();
        }
        m_waitedInVain = m_waitedInVain || (fd < 0 && isOutOfHandles(errno));
        if (fd < 0)
            noteUnopened(folder, errno, seen);
        return fd;
    }

    void noteUnopened(const WalkedFolder &folder, int error, Seen seen = Seen::Listed)
    {
        if (isGone(error) && seen == Seen::NotListed)
            return;
        WalkReport &report = m_reports[folder.target];
        (isDenied(error) ? report.unreadable : report.failed).push_back(UnreadFolder{folder.path, error});
    }

    // Closes the handles of the folders between the bottom of the stack and frame `needed`; the walk
    // reopens them by name when it climbs back.
    void releaseHandles(std::size_t needed)
    {
        for (std::size_t i = 1; i < needed && i < m_stack.size(); ++i)
            m_stack[i].fd.reset();
    }

    bool enter(Frame &frame)
    {
        struct stat st = {};
        if (::fstat(frame.fd.get(), &st) != 0) {
            noteUnopened(frame.folder, errno);
            return false;
        }
        frame.device = st.st_dev;
        frame.inode = st.st_ino;
        // A folder that can be listed but not searched: its entries cannot be examined, and their types
        // would come from the records on some file systems and not on others. Nothing in it counts.
        if (::faccessat(frame.fd.get(), ".", X_OK, AT_EACCESS) != 0 && isDenied(errno)) {
            m_reports[frame.folder.target].unreadable.push_back(UnreadFolder{frame.folder.path, errno});
            return false;
        }
        // The portable reader needs a handle of its own, which may have to wait like any other.
        const int started = openRetrying(
            [&] {
                errno = m_reader.start(frame.fd.get());
                return errno == 0 ? 0 : -1;
            },
            frame.folder, m_stack.empty() ? 0 : m_stack.size() - 1);
        if (started < 0)
            return false;
        m_lister(frame, m_reader);
        return true;
    }

    void leave()
    {
        Frame done = std::move(m_stack.back());
        m_stack.pop_back();
        if (m_stack.empty() || m_stack.back().fd.isOpen() || m_stack.back().pending.empty())
            return;
        // Climbing back from a folder whose parent handle was closed to bound the open handles.
        Frame &parent = m_stack.back();
        if (done.fd.isOpen()) {
            parent.fd.reset(::openat(done.fd.get(), "..", kDirectoryOpenFlags));
            if (isSameFolder(parent))
                return;
            parent.fd.reset();
        }
        if (!reopen(m_stack.size() - 1))
            parent.pending.clear();
    }

    static bool isSameFolder(const Frame &frame)
    {
        struct stat st = {};
        return frame.fd.isOpen() && ::fstat(frame.fd.get(), &st) == 0 && st.st_dev == frame.device &&
               st.st_ino == frame.inode;
    }

    // Reopens frame `index` from its nearest open ancestor, name by name, checking that every folder on
    // the way is still the one the walk entered (a folder moved meanwhile is given up, not guessed at).
    bool reopen(std::size_t index)
    {
        std::size_t open = index;
        while (open > 0 && !m_stack[open].fd.isOpen())
            --open;
        if (!m_stack[open].fd.isOpen())
            return false;
        for (std::size_t i = open + 1; i <= index; ++i) {
            Frame &frame = m_stack[i];
            frame.fd.reset(openRetrying(
                [&] { return ::openat(m_stack[i - 1].fd.get(), frame.name.constData(), kDirectoryOpenFlags); },
                frame.folder, i - 1));
            if (!isSameFolder(frame)) {
                // Moved or replaced while the walk was inside it: what it held can't be told.
                if (frame.fd.isOpen())
                    noteUnopened(frame.folder, ENOENT);
                frame.fd.reset();
                return false;
            }
            if (i - 1 > 0 && index - (i - 1) > kMaxOpenLevels)
                m_stack[i - 1].fd.reset();
        }
        return true;
    }

    Lister m_lister;
    OnMatch m_onMatch;
    Donate m_donate;
    std::span<WalkReport> m_reports;
    std::vector<Frame> m_stack;
    fs::DirectoryReader m_reader;
    bool m_waitedInVain = false;
};

bool hasExtension(const char *name, std::size_t length, const QByteArray &wanted, const QString &wantedText)
{
    const void *dotPointer = ::memrchr(name, '.', length);
    if (!dotPointer)
        return false;
    const auto dot = std::size_t(static_cast<const char *>(dotPointer) - name);
    if (dot == 0)
        return false; // a leading dot starts a name, not an extension
    const char *extension = name + dot + 1;
    const std::size_t extensionLength = length - dot - 1;
    bool ascii = true;
    for (std::size_t i = 0; i < extensionLength; ++i)
        ascii = ascii && static_cast<unsigned char>(extension[i]) < 0x80;
    if (!ascii)
        return textOfUtf8(std::string_view(extension, extensionLength)).toLower() == wantedText;
    if (extensionLength != std::size_t(wanted.size()))
        return false;
    for (std::size_t i = 0; i < extensionLength; ++i) {
        char c = extension[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != wanted[qsizetype(i)])
            return false;
    }
    return true;
}

// A link the walk passes over that could have changed the result: one named like a wanted file, or one
// that leads to a folder. Links are rare, so their extra look costs a plain walk nothing measurable.
std::optional<SkippedLink> skippedLink(int folderFd, const QByteArray &folder, const DirEntry &entry,
                                       const QByteArray &wanted, const QString &wantedText)
{
    if (!hasExtension(entry.name, entry.length, wanted, wantedText)) {
        struct stat st = {};
        if (::fstatat(folderFd, entry.name, &st, 0) != 0 || !S_ISDIR(st.st_mode))
            return std::nullopt;
    }
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(folderFd, entry.name, target.data(), std::size_t(target.size()));
    target.truncate(length < 0 ? 0 : qsizetype(length));
    return SkippedLink{childPath(folder, QByteArray(entry.name, qsizetype(entry.length))), target};
}

QString joinPath(const QString &directory, const QString &component)
{
    if (directory.isEmpty())
        return component;
    if (directory.endsWith(u'/'))
        return directory + component;
    return directory + u'/' + component;
}

// Several walks over one set of folders. A walk that finds a folder while another walker waits for
// work gives it away, handle and all; the handles in flight stay fewer than the walkers.
class SharedWalk
{
public:
    explicit SharedWalk(std::deque<Frame> roots) : m_queue(std::move(roots)) {}

    // Runs one walker until no folder is left anywhere. `list` reads one open folder.
    void work(const Walk::Lister &list, std::span<WalkReport> reports)
    {
        Walk walk(
            list, [](const Frame &, const QByteArray &) {}, reports, [this](Frame &child) { return giveAway(child); });
        for (;;) {
            Frame frame;
            {
                std::unique_lock lock(m_mutex);
                m_waiting.fetch_add(1, std::memory_order_relaxed);
                m_wake.wait(lock, [&] { return !m_queue.empty() || m_busy == 0 || m_failed; });
                m_waiting.fetch_sub(1, std::memory_order_relaxed);
                if (m_queue.empty() || m_failed) {
                    m_wake.notify_all();
                    return;
                }
                frame = std::move(m_queue.front());
                m_queue.pop_front();
                ++m_busy;
            }
            try {
                walk.runFrom(std::move(frame));
            } catch (...) {
                // Out of memory: every walker stops, so that none waits for this one's folders.
                std::lock_guard lock(m_mutex);
                m_failed = true;
                --m_busy;
                m_queue.clear();
                m_wake.notify_all();
                throw;
            }
            std::lock_guard lock(m_mutex);
            if (--m_busy == 0 && m_queue.empty())
                m_wake.notify_all();
        }
    }

private:
    bool giveAway(Frame &child)
    {
        const int waiting = m_waiting.load(std::memory_order_relaxed);
        if (waiting == 0)
            return false;
        std::lock_guard lock(m_mutex);
        if (m_failed || m_queue.size() >= std::size_t(waiting))
            return false;
        m_queue.push_back(std::move(child));
        m_wake.notify_one();
        return true;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Frame> m_queue;
    int m_busy = 0;
    bool m_failed = false;
    std::atomic<int> m_waiting{0};
};

} // namespace

unsigned walkerCount()
{
    return std::clamp(std::thread::hardware_concurrency(), 1U, kMaxWalkers);
}

std::vector<WalkReport> walkInParallel(const QString &base, const std::vector<WalkTarget> &targets, Progress *progress)
{
    const unsigned walkers = walkerCount();
    // Each walker's reports, one per target.
    std::vector<std::vector<WalkReport>> reports(walkers, std::vector<WalkReport>(targets.size()));
    std::deque<Frame> rootFrames;
    {
        Walk opener({}, {}, reports[0]);
        for (std::size_t t = 0; t < targets.size(); ++t) {
            for (const QString &root : targets[t].roots) {
                if (std::optional<Frame> frame = opener.openRoot(joinPath(base, root), QFile::encodeName(root), t))
                    rootFrames.push_back(std::move(*frame));
            }
        }
    }
    // The extensions as the entries are compared with them: once per walk, never per entry.
    struct Wanted
    {
        QByteArray extension;
        std::vector<QByteArray> others;
    };
    std::vector<Wanted> wanted(targets.size());
    for (std::size_t t = 0; t < targets.size(); ++t) {
        wanted[t].extension = targets[t].extension.toUtf8();
        if (targets[t].others) {
            for (const QString &other : targets[t].others->extensions)
                wanted[t].others.push_back(other.toUtf8());
        }
    }
    std::atomic<qint64> seenByAll{0};
    SharedWalk shared(std::move(rootFrames));

    // Only the calling thread reports progress, as the interface promises.
    const auto walker = [&](unsigned index, Progress *reporter) {
        qint64 reported = 0;
        shared.work(
            [&](Frame &frame, fs::DirectoryReader &reader) {
                // A stopped walk still takes the folders already open, reading none of them.
                if (progress && progress->isCancelled())
                    return;
                const WalkTarget &target = targets[frame.folder.target];
                const Wanted &want = wanted[frame.folder.target];
                WalkReport &report = reports[index][frame.folder.target];
                const auto isOtherFormat = [&](const DirEntry &entry) {
                    for (std::size_t i = 0; i < want.others.size(); ++i) {
                        if (hasExtension(entry.name, entry.length, want.others[i],
                                         target.others->extensions[qsizetype(i)]))
                            return true;
                    }
                    return false;
                };
                qint64 seen = 0;
                const int error = readDirectory(reader, frame.fd.get(), seen, [&](const DirEntry &entry) {
                    if (entry.type == fs::EntryType::Directory)
                        frame.pending.push_back(Pending{QByteArray(entry.name, qsizetype(entry.length))});
                    else if (entry.type == fs::EntryType::Link) {
                        if (auto link =
                                skippedLink(frame.fd.get(), frame.folder.path, entry, want.extension, target.extension))
                            report.links.push_back(std::move(*link));
                    } else if (entry.type != fs::EntryType::File) {
                        if (hasExtension(entry.name, entry.length, want.extension, target.extension))
                            report.specialFiles.push_back(
                                childPath(frame.folder.path, QByteArray(entry.name, qsizetype(entry.length))));
                    } else if (hasExtension(entry.name, entry.length, want.extension, target.extension))
                        target.visit(index, frame.folder, std::string_view(entry.name, entry.length));
                    else if (target.others && isOtherFormat(entry))
                        target.others->visit(index, frame.folder, std::string_view(entry.name, entry.length));
                });
                if (error != 0)
                    report.unreadable.push_back(UnreadFolder{frame.folder.path, error});
                const qint64 total = seenByAll.fetch_add(seen, std::memory_order_relaxed) + seen;
                if (reporter && total / kProgressEvery != reported / kProgressEvery) {
                    reporter->entriesSeen(total);
                    reported = total;
                }
            },
            reports[index]);
    };

    // A walker that fails (out of memory) stops the others; the first failure is thrown once all have
    // ended, since no walker may outlive the stack it works on.
    std::vector<std::exception_ptr> failures(walkers);
    const auto guarded = [&](unsigned index, Progress *reporter) {
        try {
            walker(index, reporter);
        } catch (...) {
            failures[index] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < walkers; ++i) {
        try {
            helpers.emplace_back(guarded, i, nullptr);
        } catch (...) {
            break; // fewer walkers, same result
        }
    }
    guarded(0, progress);
    for (std::thread &helper : helpers)
        helper.join();
    for (const std::exception_ptr &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
    if (progress)
        progress->entriesSeen(seenByAll.load());

    for (unsigned i = 1; i < walkers; ++i) {
        for (std::size_t t = 0; t < targets.size(); ++t)
            reports[0][t].append(reports[i][t]);
    }
    return std::move(reports[0]);
}

WalkReport walkInParallel(const QString &base, const QStringList &roots, const QString &extension,
                          const FileVisitor &visit, Progress *progress, const OtherFormats *others)
{
    return std::move(walkInParallel(base, {WalkTarget{roots, extension, visit, others}}, progress).front());
}

std::optional<QByteArray>
findFirstInPathOrder(const QString &root,
                     const std::function<bool(const QByteArray &folder, std::string_view name)> &wanted)
{
    qint64 entriesSeen = 0;
    std::optional<QByteArray> found;
    WalkReport report;
    Walk walk(
        [&](Frame &frame, fs::DirectoryReader &reader) {
            readDirectory(reader, frame.fd.get(), entriesSeen, [&](const DirEntry &entry) {
                QByteArray name(entry.name, qsizetype(entry.length));
                if (entry.type == fs::EntryType::Directory)
                    frame.pending.push_back(Pending{std::move(name)});
                else if (entry.type == fs::EntryType::File &&
                         wanted(frame.folder.path, std::string_view(entry.name, entry.length)))
                    frame.pending.push_back(Pending{std::move(name), true});
            });
            // Visited from the back: descending byte order, so the smallest path comes first.
            std::sort(frame.pending.begin(), frame.pending.end(),
                      [](const Pending &a, const Pending &b) { return a.name > b.name; });
        },
        [&](const Frame &frame, const QByteArray &name) { found = childPath(frame.folder.path, name); },
        std::span<WalkReport>(&report, 1));
    if (std::optional<Frame> frame = walk.openRoot(root, QByteArray()))
        walk.runFrom(std::move(*frame));
    return found;
}

} // namespace zelvora
