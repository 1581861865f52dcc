// The session's own rules: one read of the list serves the whole run, and a superseded result still
// keeps its history but skips its problems.
#include "audit/session.h"
#include "support/temptree.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class SessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        tree.file(u"roms/a.zip"_s, "PK\x03\x04");
        tree.file(u"videos/a.xmv"_s);
        writeList("a\n a\n");
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }

    void writeList(QByteArrayView bytes) const { tree.file(u"list.txt"_s, bytes); }

    AuditRequest request(AuditKind kind) const
    {
        AuditRequest r;
        r.kind = kind;
        r.inputs = {tree.path(), tree.filePath(u"list.txt"_s)};
        r.problems = true;
        r.table = kind == AuditKind::All;
        return r;
    }

    [[nodiscard]] bool hasHistory() const { return !QDir(historyDirectory()).entryList(QDir::Files).isEmpty(); }

    TempTree data;
    TempTree tree;
    SilentProgress progress;
};

TEST_F(SessionTest, TheListChangedAfterItWasReadChangesNothingOfTheRun)
{
    AuditSession session(request(AuditKind::All));
    session.runAudits(progress);
    writeList("b\nc\n");
    session.findExtras();

    const AuditOutcome &outcome = session.outcome();
    // Both the table's rows and the list problems come from the list as the audit read it.
    EXPECT_TRUE(outcome.table.contains("\r\na,a.zip,valid,")) << outcome.table.toStdString();
    EXPECT_FALSE(outcome.table.contains("\r\nb,")) << outcome.table.toStdString();
    const auto whitespace = std::count_if(outcome.roms.problems.begin(), outcome.roms.problems.end(),
                                          [](const Problem &p) { return p.kind == ProblemKind::ListWhitespace; });
    EXPECT_EQ(whitespace, 1);
}

TEST_F(SessionTest, ASupersededResultKeepsItsHistoryButFindsNoProblems)
{
    AuditSession session(request(AuditKind::Roms));
    session.runAudits(progress);
    const std::atomic<bool> superseded{true};
    session.findExtras(&superseded);
    EXPECT_TRUE(session.outcome().roms.historyKept);
    EXPECT_TRUE(hasHistory());
    EXPECT_TRUE(session.outcome().roms.problems.empty());
}

} // namespace
} // namespace zelvora::test
