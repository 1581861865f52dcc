// An audit whose worker runs out of memory: the window shows an alert for that audit, keeps the
// earlier results and goes on working. This test program replaces the global operator new so that the
// next allocation of an audit's worker can be made to fail.
#include "apptestfixture.h"

#include <QTest>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <pthread.h>

namespace {

std::atomic<bool> failNextWorkerAllocation = false;
pthread_t mainThread;
// Set on a thread's first allocation while nothing is armed. A thread started while armed (the pool
// may start one) never fails: its start-up allocations are not the audit's.
thread_local bool allocatedBeforeArming = false;

void *allocate(std::size_t size)
{
    if (failNextWorkerAllocation.load(std::memory_order_acquire)) {
        if (allocatedBeforeArming && !pthread_equal(pthread_self(), mainThread) &&
            failNextWorkerAllocation.exchange(false))
            throw std::bad_alloc();
    } else {
        allocatedBeforeArming = true;
    }
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

} // namespace

void *operator new(std::size_t size)
{
    return allocate(size);
}
void *operator new[](std::size_t size)
{
    return allocate(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size ? size : 1);
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete[](void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}

namespace zelvora::test {
namespace {

using namespace Qt::StringLiterals;

class OutOfMemoryTest : public AppTest
{};

TEST_F(OutOfMemoryTest, AnAuditThatRunsOutOfMemoryAlertsAndTheWindowGoesOn)
{
#if defined(__SANITIZE_THREAD__)
    // The allocator replaced here calls malloc from this program, so ThreadSanitizer no longer sees
    // Qt's own internal hand-overs of memory as Qt's and reports them as races.
    GTEST_SKIP() << "not under ThreadSanitizer";
#endif
    const struct
    {
        const char *audit;
        QString newFile;
        std::function<void()> click;
        std::function<QString()> text;
        std::function<bool()> running;
    } cases[] = {
        {"rom audit", u"roms/abd.zip"_s, [this] { clickAuditRoms(); }, [this] { return romsText(); },
         [this] { return controller.isAuditing(QKAppDelegate::Audit::Roms); }},
        {"video audit", u"videos/abd.xmv"_s, [this] { clickAuditVideos(); }, [this] { return videosText(); },
         [this] { return controller.isAuditing(QKAppDelegate::Audit::Videos); }},
    };
    ZelvoraTree zelvora;
    zelvora.tree.file(u"roms/abc.zip"_s);
    zelvora.tree.file(u"videos/abc.xmv"_s);
    zelvora.writeList("abc\nabd\n");
    launchWith(zelvora.tree.path(), zelvora.listPath());
    mainThread = pthread_self();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.audit);
        alert.shown.clear();
        c.click();
        const QString earlier = c.text();
        ASSERT_TRUE(earlier.contains(u"abc"_s));
        // The earlier results are dropped on a worker; once it is idle again, the audit reuses it.
        QTest::qWait(200);

        failNextWorkerAllocation.store(true, std::memory_order_release);
        c.click();
        EXPECT_FALSE(failNextWorkerAllocation.exchange(false)) << "the audit's worker allocated nothing";
        ASSERT_EQ(alert.shown.size(), 1);
        EXPECT_EQ(alert.shown[0].messageText, u"Out of memory"_s);
        EXPECT_TRUE(alert.shown[0].informativeText.contains(QString::fromUtf8(c.audit)))
            << alert.shown[0].informativeText.toStdString();
        EXPECT_EQ(c.text(), earlier);
        EXPECT_FALSE(c.running());

        zelvora.tree.file(c.newFile);
        c.click();
        EXPECT_NE(c.text(), earlier) << "the next audit runs as usual";
        EXPECT_EQ(alert.shown.size(), 1);
    }
}

} // namespace
} // namespace zelvora::test
