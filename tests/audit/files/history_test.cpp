// The history kept between audits: a second run sees the changes since the first, and a file that is
// damaged, cut short or written for other inputs counts as no history and is replaced.
#include "audit/files/history.h"
#include "support/temptree.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

std::vector<QByteArray> names(std::initializer_list<const char *> list)
{
    return {list.begin(), list.end()};
}

// Names of string literals, which outlive every record made of them.
std::vector<std::string_view> views(std::initializer_list<const char *> list)
{
    return {list.begin(), list.end()};
}

AuditRecord record(qint64 seconds, std::initializer_list<const char *> valid,
                   std::initializer_list<const char *> missing, std::initializer_list<const char *> unknown)
{
    return {QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC), views(valid), views(missing), views(unknown), {}};
}

TEST(History, ChangesSinceThePreviousRunAndDamagedFilesCountAsNone)
{
    test::TempTree data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QString key = u"roms\n/z\n/z/list.txt"_s;
    const QString file = historyDirectory() + u'/' + historyFileName(key);
    ASSERT_TRUE(file.startsWith(data.path()));

    const AuditRecord first = record(1'000, {"a.zip", "b.zip"}, {"c.zip", "d.zip"}, {"x.zip"});
    HistoryOutcome outcome = recordAudit(key, first);
    EXPECT_FALSE(outcome.changes.has_value());
    EXPECT_TRUE(outcome.warning.isEmpty()) << outcome.warning.toStdString();

    // c.zip appeared, a.zip was renamed to a\xff.zip (a name that is not UTF-8) and so is missing.
    const AuditRecord second = record(2'000, {"b.zip", "c.zip"}, {"a.zip", "d.zip"}, {"a\xff.zip", "y.zip"});
    outcome = recordAudit(key, second);
    ASSERT_TRUE(outcome.changes.has_value());
    EXPECT_EQ(outcome.changes->since, first.when);
    EXPECT_EQ(outcome.changes->nowValid, names({"c.zip"}));
    EXPECT_EQ(outcome.changes->newlyMissing, names({"a.zip"}));
    EXPECT_EQ(outcome.changes->newUnknown, names({"a\xff.zip", "y.zip"}));
    EXPECT_EQ(outcome.changes->unknownGone, names({"x.zip"}));

    const QByteArray good = encodeAuditRecord(key, second);
    ASSERT_EQ(decodeAuditRecord(good, key)->unknown, second.unknown);
    struct Damage
    {
        const char *what;
        QByteArray bytes;
    };
    QByteArray flipped = good;
    flipped[good.size() / 2] = char(flipped[good.size() / 2] ^ 1);
    const Damage damages[] = {
        {"a flipped bit", flipped},
        {"cut short", good.first(good.size() - 5)},
        {"empty", QByteArray()},
        {"another directory's", encodeAuditRecord(u"roms\n/other\n/z/list.txt"_s, second)},
        {"not a history", QByteArray("ZELVORA-AUDIT-HISTORY\nnonsense").append(32, '\0')},
    };
    for (const Damage &damage : damages) {
        SCOPED_TRACE(damage.what);
        EXPECT_FALSE(decodeAuditRecord(damage.bytes, key).has_value());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(damage.bytes);
        out.close();
        outcome = recordAudit(key, second);
        EXPECT_FALSE(outcome.changes.has_value());
        EXPECT_TRUE(outcome.warning.startsWith(u"the previous audit's record could not be used"_s))
            << outcome.warning.toStdString();
        // Replaced: the next run compares with this one again.
        outcome = recordAudit(key, second);
        ASSERT_TRUE(outcome.changes.has_value());
        EXPECT_TRUE(outcome.changes->isEmpty());
    }

    // Neither a file nor within the size: said too, and the record is kept where it can be.
    ASSERT_TRUE(QFile::remove(file));
    QFile oversized(file);
    ASSERT_TRUE(oversized.open(QIODevice::WriteOnly) && oversized.resize(kHistoryMaxBytes + (2 << 20)));
    oversized.close();
    outcome = recordAudit(key, second);
    EXPECT_TRUE(outcome.warning.contains(u"too big"_s)) << outcome.warning.toStdString();
    EXPECT_TRUE(recordAudit(key, second).changes.has_value());
    qunsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace zelvora
