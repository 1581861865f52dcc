#include "clitestsupport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

// A pseudo-terminal that the child gets as its stderr, so the command sees a terminal there.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            return;
        }
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~PseudoTerminal()
    {
        if (m_slave >= 0) {
            ::close(m_slave);
        }
        if (m_master >= 0) {
            ::close(m_master);
        }
    }

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    int slave() const { return m_slave; }

    // What the child wrote, once it has ended.
    QByteArray drain() const
    {
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        QByteArray out;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                out.append(buffer, n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                return out;
            }
        }
    }

private:
    int m_master = -1;
    int m_slave = -1;
};

TEST(Progress, ShowsThePhasesOnATerminalUnlessQuiet)
{
    TempTree config;
    TempTree tree;
    makeSampleZelvora(tree);
    struct Case
    {
        QStringList arguments;
        QList<QByteArray> phases; // empty: nothing at all on the terminal
    };
    const Case cases[] = {
        {{u"roms"_s}, {"Caching Zelvora rom directories...", "Caching supported rom list...", "Auditing roms..."}},
        {{u"videos"_s},
         {"Caching Zelvora video directories...", "Caching supported rom list...", "Auditing videos..."}},
        {{u"-a"_s, u"videos"_s},
         {"Caching Zelvora video directories...", "Caching supported rom list...", "Caching available rom list...",
          "Auditing videos..."}},
        {{u"-q"_s, u"roms"_s}, {}},
        {{u"--quiet"_s, u"-a"_s, u"videos"_s}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        PseudoTerminal terminal;
        ASSERT_TRUE(terminal.isValid()) << "no pseudo-terminal: " << std::strerror(errno);
        const int slave = terminal.slave();
        const CliResult result =
            runCli(QStringList{u"-d"_s, tree.path()} + c.arguments, config.path(), [slave] { ::dup2(slave, 2); });
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.out.startsWith("Found ")) << "stdout is a pipe and gets the lists";
        const QByteArray shown = terminal.drain();
        if (c.phases.isEmpty()) {
            EXPECT_TRUE(shown.isEmpty()) << shown.toStdString();
            continue;
        }
        qsizetype at = 0;
        for (const QByteArray &phase : c.phases) {
            const qsizetype found = shown.indexOf(phase, at);
            EXPECT_GE(found, at) << phase.toStdString() << " in order in: " << shown.toStdString();
            at = std::max(at, found);
        }
        EXPECT_TRUE(shown.endsWith("\r\x1b[K")) << "the line is cleared at the end: " << shown.toStdString();
        EXPECT_FALSE(shown.contains('\n')) << "one line, redrawn in place";
    }
}

} // namespace
} // namespace zelvora::test
