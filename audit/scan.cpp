#include "audit/scan.h"

#include "audit/filenames.h"
#include "audit/names.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zelvora {

using namespace Qt::StringLiterals;

QStringList romDirectoryNames()
{
    return u"roms,roms16BitConsoles,romsConsoles"_s.split(u',');
}

QStringList videoDirectoryNames()
{
    return u"videos,videos2,videos3,videos4,videosextra"_s.split(u',');
}

namespace {

// Never follow a link, never block on a FIFO that took a directory's place mid-walk.
constexpr int kDirectoryOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// Deep trees keep only this many directory handles open; the rest are reopened on the way back up.
constexpr std::size_t kMaxOpenLevels = 48;

constexpr qint64 kProgressEvery = 2048;

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
    QByteArray name;              // component below the parent frame
    QByteArray relativePath;      // below the walk's root, as bytes
    QString folder;               // as reported: relative to the Zelvora directory
    std::vector<Pending> pending; // visited from the back
};

struct DirEntry
{
    const char *name;
    std::size_t length;
    unsigned char type; // DT_REG, DT_DIR, ... never DT_UNKNOWN
};

// Reads a directory whole with large getdents64 batches; the entry type comes from the record,
// with an lstat-like look only when the file system does not give it.
template <typename OnEntry> void readDirectory(int fd, qint64 &entriesSeen, Progress *progress, OnEntry &&onEntry)
{
    alignas(8) static thread_local char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n <= 0)
            return; // end, or an unreadable directory: what was read counts
        for (ssize_t offset = 0; offset < n;) {
            const auto *record = reinterpret_cast<const dirent64 *>(buffer + offset);
            offset += record->d_reclen;
            const char *name = record->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            unsigned char type = record->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_LNK;
            }
            onEntry(DirEntry{name, std::strlen(name), type});
            if (++entriesSeen % kProgressEvery == 0 && progress)
                progress->entriesSeen(entriesSeen);
        }
    }
}

QString decodeName(const char *name, std::size_t length)
{
    // Names that are not valid UTF-8 are kept, with replacement characters, rather than dropped.
    return QString::fromUtf8(name, qsizetype(length));
}

QString joinPath(const QString &directory, const QString &component)
{
    if (directory.isEmpty())
        return component;
    if (directory.endsWith(u'/'))
        return directory + component;
    return directory + u'/' + component;
}

// The stack of open folders of one depth-first walk below one root.
class Walk
{
public:
    using Lister = std::function<void(Frame &frame)>;
    using OnMatch = std::function<void(const Frame &frame, const QByteArray &name)>;
    // Offered each folder about to be entered, already open; returns true when it takes it over.
    using Donate = std::function<bool(Frame &child)>;

    Walk(Lister lister, OnMatch onMatch, Donate donate = {})
        : m_lister(std::move(lister)), m_onMatch(std::move(onMatch)), m_donate(std::move(donate))
    {}

    // Returns true when a match ended the walk.
    bool run(const QString &rootPath, const QString &rootFolder)
    {
        std::optional<Frame> root = openRoot(rootPath, rootFolder);
        return root && runFrom(std::move(*root));
    }

    // The root itself may be a link (a rom folder kept on another disk); nothing below it is followed.
    static std::optional<Frame> openRoot(const QString &rootPath, const QString &rootFolder)
    {
        FileDescriptor root(
            ::open(encodeFileName(rootPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
        if (!root.isOpen())
            return std::nullopt;
        Frame frame;
        frame.fd = std::move(root);
        frame.folder = rootFolder;
        return frame;
    }

    // Walks below an open folder: a root, or a folder another walk gave away.
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
            child.fd.reset(::openat(top.fd.get(), next.name.constData(), kDirectoryOpenFlags));
            if (!child.fd.isOpen())
                continue;
            child.folder = top.folder + u'/' + decodeName(next.name.constData(), std::size_t(next.name.size()));
            child.relativePath = top.relativePath.isEmpty() ? next.name : top.relativePath + '/' + next.name;
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
    bool enter(Frame &frame)
    {
        struct stat st;
        if (::fstat(frame.fd.get(), &st) != 0)
            return false;
        frame.device = st.st_dev;
        frame.inode = st.st_ino;
        m_lister(frame);
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

    bool isSameFolder(const Frame &frame) const
    {
        struct stat st;
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
            frame.fd.reset(::openat(m_stack[i - 1].fd.get(), frame.name.constData(), kDirectoryOpenFlags));
            if (!isSameFolder(frame)) {
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
    std::vector<Frame> m_stack;
};

bool hasExtension(const char *name, std::size_t length, const QByteArray &wanted, const QString &wantedText)
{
    const void *dotPointer = ::memrchr(name, '.', length);
    if (!dotPointer)
        return false;
    const std::size_t dot = std::size_t(static_cast<const char *>(dotPointer) - name);
    if (dot == 0)
        return false; // a leading dot starts a name, not an extension
    const char *extension = name + dot + 1;
    const std::size_t extensionLength = length - dot - 1;
    bool ascii = true;
    for (std::size_t i = 0; i < extensionLength; ++i)
        ascii = ascii && static_cast<unsigned char>(extension[i]) < 0x80;
    if (!ascii)
        return QString::fromUtf8(extension, qsizetype(extensionLength)).toLower() == wantedText;
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

// Callers get the path as text; below a folder whose name is not valid UTF-8 the text would name
// nothing, so such a match is passed over and the search goes on.
bool survivesText(const QByteArray &folder, const QByteArray &name)
{
    const QByteArray relative = folder.isEmpty() ? name : folder + '/' + name;
    return QFile::encodeName(QFile::decodeName(relative)) == relative;
}

} // namespace

void walkFilesWithExtension(const QString &zelvoraDir, const QStringList &directories, const QString &extension,
                            const FoundFileVisitor &visit, Progress *progress)
{
    const QByteArray wanted = extension.toUtf8();
    qint64 entriesSeen = 0;
    for (const QString &directory : directories) {
        Walk walk(
            [&](Frame &frame) {
                readDirectory(frame.fd.get(), entriesSeen, progress, [&](const DirEntry &entry) {
                    if (entry.type == DT_DIR)
                        frame.pending.push_back(Pending{QByteArray(entry.name, qsizetype(entry.length))});
                    else if (entry.type == DT_REG && hasExtension(entry.name, entry.length, wanted, extension))
                        visit(frame.folder, decodeName(entry.name, entry.length));
                });
            },
            [](const Frame &, const QByteArray &) {});
        walk.run(joinPath(zelvoraDir, directory), directory);
    }
    if (progress)
        progress->entriesSeen(entriesSeen);
}

namespace {

constexpr unsigned kMaxWalkers = 8;

// Several walks over one set of folders. A walk that finds a folder while another walker waits for
// work gives it away, handle and all; the handles in flight stay fewer than the walkers.
class SharedWalk
{
public:
    explicit SharedWalk(std::deque<Frame> roots) : m_queue(std::move(roots)) {}

    // Runs one walker until no folder is left anywhere. `list` reads one open folder.
    void work(const Walk::Lister &list)
    {
        Walk walk(
            list, [](const Frame &, const QByteArray &) {}, [this](Frame &child) { return giveAway(child); });
        for (;;) {
            Frame frame;
            {
                std::unique_lock lock(m_mutex);
                m_waiting.fetch_add(1, std::memory_order_relaxed);
                m_wake.wait(lock, [&] { return !m_queue.empty() || m_busy == 0; });
                m_waiting.fetch_sub(1, std::memory_order_relaxed);
                if (m_queue.empty()) {
                    m_wake.notify_all();
                    return;
                }
                frame = std::move(m_queue.front());
                m_queue.pop_front();
                ++m_busy;
            }
            walk.runFrom(std::move(frame));
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
        if (m_queue.size() >= std::size_t(waiting))
            return false;
        m_queue.push_back(std::move(child));
        m_wake.notify_one();
        return true;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Frame> m_queue;
    int m_busy = 0;
    std::atomic<int> m_waiting{0};
};

} // namespace

NameBlock gatherFilesWithExtension(const QString &zelvoraDir, const QStringList &directories, const QString &extension,
                                   Progress *progress)
{
    std::deque<Frame> roots;
    for (const QString &directory : directories) {
        if (std::optional<Frame> root = Walk::openRoot(joinPath(zelvoraDir, directory), directory))
            roots.push_back(std::move(*root));
    }
    const QByteArray wanted = extension.toUtf8();
    std::atomic<qint64> seenByAll{0};
    SharedWalk shared(std::move(roots));

    // Only the calling thread reports progress, as the interface promises.
    const auto walker = [&](NameBlock &names, Progress *reporter) {
        names.reserve(16'384, 512 * 1024); // past the first steps of growing, which copy for nothing
        qint64 reported = 0;
        shared.work([&](Frame &frame) {
            qint64 seen = 0;
            readDirectory(frame.fd.get(), seen, nullptr, [&](const DirEntry &entry) {
                if (entry.type == DT_DIR)
                    frame.pending.push_back(Pending{QByteArray(entry.name, qsizetype(entry.length))});
                else if (entry.type == DT_REG && hasExtension(entry.name, entry.length, wanted, extension))
                    names.append(std::string_view(entry.name, entry.length));
            });
            const qint64 total = seenByAll.fetch_add(seen, std::memory_order_relaxed) + seen;
            if (reporter && total / kProgressEvery != reported / kProgressEvery) {
                reporter->entriesSeen(total);
                reported = total;
            }
        });
    };

    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWalkers);
    std::vector<NameBlock> found(cores);
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < cores; ++i) {
        try {
            helpers.emplace_back(walker, std::ref(found[i]), nullptr);
        } catch (const std::system_error &) {
            break; // fewer walkers, same result
        }
    }
    walker(found[0], progress);
    for (std::thread &helper : helpers)
        helper.join();
    if (progress)
        progress->entriesSeen(seenByAll.load());

    NameBlock names = std::move(found[0]);
    for (unsigned i = 1; i < cores; ++i) {
        names.append(found[i]);
        found[i] = NameBlock();
    }
    return names;
}

std::vector<FoundFile> findFilesWithExtension(const QString &zelvoraDir, const QStringList &directories,
                                              const QString &extension, Progress *progress)
{
    std::vector<FoundFile> found;
    walkFilesWithExtension(
        zelvoraDir, directories, extension,
        [&](const QString &folder, const QString &name) {
            found.push_back(FoundFile{name, folder});
        },
        progress);
    return found;
}

QStringList cacheFilenamesFromDirsWithFileExtensions(const QString &zelvoraDir, const QStringList &directories,
                                                     const QString &extension, Progress *progress)
{
    const NameBlock sorted = sortNameBlock(gatherFilesWithExtension(zelvoraDir, directories, extension, progress));
    QStringList names;
    names.reserve(sorted.size());
    for (qsizetype i = 0; i < sorted.size(); ++i)
        names.append(sorted.text(i));
    return names;
}

QStringList cacheZelvoraRomDirs(const QString &zelvoraDir, Progress *progress)
{
    return cacheFilenamesFromDirsWithFileExtensions(zelvoraDir, romDirectoryNames(), kRomExtension.toString(),
                                                    progress);
}

QStringList cacheZelvoraVideoDirs(const QString &zelvoraDir, Progress *progress)
{
    return cacheFilenamesFromDirsWithFileExtensions(zelvoraDir, videoDirectoryNames(), kVideoExtension.toString(),
                                                    progress);
}

std::optional<QString> findFileBelow(const QString &directory, const QString &fileName)
{
    const QByteArray wanted = QFile::encodeName(fileName);
    if (wanted.isEmpty() || wanted.contains('/'))
        return std::nullopt;
    qint64 entriesSeen = 0;
    std::optional<QString> found;
    Walk walk(
        [&](Frame &frame) {
            readDirectory(frame.fd.get(), entriesSeen, nullptr, [&](const DirEntry &entry) {
                const QByteArray name(entry.name, qsizetype(entry.length));
                if (entry.type == DT_DIR)
                    frame.pending.push_back(Pending{name});
                else if (entry.type == DT_REG && name == wanted && survivesText(frame.relativePath, name))
                    frame.pending.push_back(Pending{name, true});
            });
            // Visited from the back: descending byte order, so the smallest path comes first.
            std::sort(frame.pending.begin(), frame.pending.end(),
                      [](const Pending &a, const Pending &b) { return a.name > b.name; });
        },
        [&](const Frame &frame, const QByteArray &name) {
            const QByteArray relative = frame.relativePath.isEmpty() ? name : frame.relativePath + '/' + name;
            found = joinPath(directory, QFile::decodeName(relative));
        });
    walk.run(directory, QString());
    return found;
}

} // namespace zelvora
