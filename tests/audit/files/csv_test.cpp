// The CSV writer against a real reader: Python's csv module, reading strict UTF-8, gets every field back,
// formulas shown as text and bytes that are not UTF-8 as U+FFFD.
#include "audit/checks/problems.h"
#include "audit/files/csv.h"
#include "support/temptree.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

constexpr char kReader[] = R"(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig', errors='strict') as f:
    for row in csv.reader(f, strict=True):
        print(' '.join(field.encode('utf-8').hex() for field in row))
)";

TEST(Csv, APythonReaderReadsBackEveryFieldExactly)
{
    const QString python = QStandardPaths::findExecutable(u"python3"_s);
    if (python.isEmpty())
        GTEST_SKIP() << "no python3";
    // Each field as written, and as a spreadsheet must read it.
    const std::vector<std::pair<QByteArray, QByteArray>> awkward = {
        {"plain.zip", "plain.zip"},
        {"with, comma.zip", "with, comma.zip"},
        {"\"quoted\" name.zip", "\"quoted\" name.zip"},
        {"line\r\nbreak.zip", "line\r\nbreak.zip"},
        {"lone\rcr", "lone\rcr"},
        {"caf\xc3\xa9.zip", "caf\xc3\xa9.zip"},
        {"not utf-8 \xff\xfe.zip", "not utf-8 \xef\xbf\xbd\xef\xbf\xbd.zip"},
        {"", ""},
        {" spaced ", " spaced "},
        {"=HYPERLINK(\"http://x\",\"y\")", "'=HYPERLINK(\"http://x\",\"y\")"},
        {"@SUM(1+1).zip", "'@SUM(1+1).zip"},
        {"+1.zip", "'+1.zip"},
        {"-1.zip", "'-1.zip"},
        {"\tx.zip", "'\tx.zip"},
        {"\rx.zip", "'\rx.zip"},
        {"a=b.zip", "a=b.zip"},
    };
    std::vector<Problem> problems;
    for (const auto &[name, read] : awkward)
        problems.push_back({ProblemKind::Duplicate, name, u"the copy that counts is \"%1\""_s.arg(u"a, b"_s)});
    const QByteArray csv = problemsCsv(problems);
    EXPECT_TRUE(csv.startsWith(kUtf8Bom));
    EXPECT_TRUE(csv.endsWith("\r\n"));

    test::TempTree tree;
    tree.file(u"problems.csv"_s, csv);
    QProcess reader;
    reader.start(python, {u"-c"_s, QString::fromLatin1(kReader), tree.filePath(u"problems.csv"_s)});
    ASSERT_TRUE(reader.waitForFinished(30'000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    QList<QByteArray> rows = reader.readAllStandardOutput().split('\n');
    rows.removeLast();
    ASSERT_EQ(std::size_t(rows.size()), awkward.size() + 1);
    EXPECT_EQ(rows[0], "6b696e64 70617468 64657461696c"); // kind path detail
    for (std::size_t i = 0; i < awkward.size(); ++i) {
        const QList<QByteArray> fields = rows[qsizetype(i + 1)].split(' ');
        ASSERT_EQ(fields.size(), 3) << rows[qsizetype(i + 1)].toStdString();
        EXPECT_EQ(QByteArray::fromHex(fields[0]), "duplicate");
        EXPECT_EQ(QByteArray::fromHex(fields[1]), awkward[i].second);
        EXPECT_EQ(QByteArray::fromHex(fields[2]), "the copy that counts is \"a, b\"");
    }
}

} // namespace
} // namespace zelvora
