// An audit whose walk finds no file handle for a folder: the walk is incomplete, so the window says
// which folders it could not read and keeps the earlier results. This program's openat stands in for
// the C library's, so that folders can be made to run out of handles on cue.
#include "apptestfixture.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<bool> noFolderHandles = false;

} // namespace

extern "C" int openat(int folder, const char *path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if ((flags & O_DIRECTORY) != 0 && noFolderHandles.load(std::memory_order_relaxed)) {
        errno = EMFILE;
        return -1;
    }
    return int(::syscall(SYS_openat, folder, path, flags, mode));
}

namespace zelvora::test {
namespace {

using namespace Qt::StringLiterals;

class OutOfHandlesTest : public AppTest
{};

TEST_F(OutOfHandlesTest, AWalkThatCouldNotOpenEveryFolderKeepsTheEarlierResult)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "not under ThreadSanitizer: the openat here hides the handles from its bookkeeping";
#endif
    ZelvoraTree zelvora;
    zelvora.writeList("abc\nabd\n");
    zelvora.tree.file(u"roms/abc.zip"_s);
    launchWith(zelvora.tree.path(), zelvora.listPath());
    clickAuditRoms();
    const QString earlier = romsText();
    ASSERT_TRUE(earlier.contains(u"abc.zip"_s));

    // Read in full, the audit would find abd valid.
    zelvora.tree.file(u"roms/sub/abd.zip"_s);
    noFolderHandles = true;
    clickAuditRoms();
    noFolderHandles = false;

    ASSERT_EQ(alert.shown.size(), 1);
    EXPECT_EQ(alert.shown[0].messageText, u"The folders could not be read completely."_s);
    EXPECT_TRUE(alert.shown[0].informativeText.contains(u"roms/sub: Too many open files"_s))
        << alert.shown[0].informativeText.toStdString();
    EXPECT_EQ(romsText(), earlier);
    EXPECT_TRUE(ui().saveRomsButton->isEnabled()) << "the earlier result can still be saved";
}

} // namespace
} // namespace zelvora::test
