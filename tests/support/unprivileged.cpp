#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zelvora::test {

bool dropRoot()
{
    if (::geteuid() != 0)
        return true;
    constexpr gid_t nobodyGroup = 65534;
    constexpr uid_t nobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setresgid(nobodyGroup, nobodyGroup, nobodyGroup) == 0 &&
           ::setresuid(nobody, nobody, nobody) == 0;
}

QByteArray runInChild(const std::function<QByteArray()> &work)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "child failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        const QByteArray out = work();
        if (::write(pipeFds[1], out.constData(), std::size_t(out.size())) != out.size())
            ::_exit(3);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child failed";
    return out;
}

QByteArray runUnprivileged(const std::function<QByteArray()> &work)
{
    return runInChild([&]() -> QByteArray {
        if (!dropRoot())
            ::_exit(2);
        return work();
    });
}

void openToOthers(const QString &root, const QString &path)
{
    QString at = QDir::cleanPath(path);
    const QString top = QDir::cleanPath(root);
    for (;;) {
        struct stat st;
        const QByteArray encoded = QFile::encodeName(at);
        ASSERT_EQ(::stat(encoded.constData(), &st), 0) << encoded.constData();
        ASSERT_EQ(::chmod(encoded.constData(), (st.st_mode & 07777) | S_IROTH | S_IXOTH), 0) << encoded.constData();
        if (at == top || !at.startsWith(top))
            return;
        at = QFileInfo(at).path();
    }
}

} // namespace zelvora::test
