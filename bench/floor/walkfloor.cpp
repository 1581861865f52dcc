// The physical floor of an audit: one thread reading every folder below the given roots with raw
// getdents64 calls and nothing else (no extension test, no names kept, no sort, no output but one
// count). An audit can only come close to this; the benchmark shows how close.
//
//   zelvora-walk-floor DIR...                prints the number of entries seen
//   zelvora-walk-floor --open-zip DIR...     also opens every .zip on every core and reads its first
//                                            4 bytes (open, pread, close: the least a content check does),
//                                            and prints the number of files that start with "PK"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// With --open-zip: each folder's path and its .zip files.
struct ZipFolder
{
    std::string path;
    std::vector<std::string> names;
};
std::vector<ZipFolder> *zipFolders = nullptr;

bool isZip(const char *name)
{
    const std::size_t length = std::strlen(name);
    return length > 4 && ::strcasecmp(name + length - 4, ".zip") == 0;
}

long long walk(int parent, const char *name, const std::string &path)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0;
    alignas(8) static char buffer[64 * 1024];
    long long seen = 0;
    std::vector<std::string> folders;
    ZipFolder zips{path, {}};
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (long offset = 0; offset < n;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] == '.' &&
                (entry->d_name[1] == '\0' || (entry->d_name[1] == '.' && entry->d_name[2] == '\0')))
                continue;
            ++seen;
            if (entry->d_type == DT_DIR)
                folders.emplace_back(entry->d_name);
            else if (zipFolders && entry->d_type == DT_REG && isZip(entry->d_name))
                zips.names.emplace_back(entry->d_name);
        }
    }
    if (zipFolders && !zips.names.empty())
        zipFolders->push_back(std::move(zips));
    for (const std::string &folder : folders)
        seen += walk(fd, folder.c_str(), path + '/' + folder);
    ::close(fd);
    return seen;
}

long long openZips(const std::vector<ZipFolder> &folders)
{
    std::atomic<std::size_t> next{0};
    std::atomic<long long> zips{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < folders.size(); i = next++) {
            const int folder = ::open(folders[i].path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            for (const std::string &name : folders[i].names) {
                const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
                char head[4] = {};
                if (fd >= 0 && ::pread(fd, head, sizeof head, 0) == 4 && head[0] == 'P' && head[1] == 'K')
                    ++zips;
                if (fd >= 0)
                    ::close(fd);
            }
            if (folder >= 0)
                ::close(folder);
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < std::thread::hardware_concurrency(); ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
    return zips;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<ZipFolder> folders;
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--open-zip") == 0) {
        zipFolders = &folders;
        first = 2;
    }
    long long seen = 0;
    for (int i = first; i < argc; ++i)
        seen += walk(AT_FDCWD, argv[i], argv[i]);
    std::printf("%lld\n", zipFolders ? openZips(folders) : seen);
    return 0;
}
