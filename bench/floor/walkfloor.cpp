// The physical floor of an audit: one thread reading every folder below the given roots with raw
// getdents64 calls and nothing else (no extension test, no names kept, no sort, no output but one
// count). An audit can only come close to this; the benchmark shows how close.
//
//   zelvora-walk-floor DIR...    prints the number of entries seen

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

long long walk(int parent, const char *name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0;
    alignas(8) static char buffer[64 * 1024];
    long long seen = 0;
    std::vector<std::string> folders;
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
        }
    }
    for (const std::string &folder : folders)
        seen += walk(fd, folder.c_str());
    ::close(fd);
    return seen;
}

} // namespace

int main(int argc, char **argv)
{
    long long seen = 0;
    for (int i = 1; i < argc; ++i)
        seen += walk(AT_FDCWD, argv[i]);
    std::printf("%lld\n", seen);
    return 0;
}
