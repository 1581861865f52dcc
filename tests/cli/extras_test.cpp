// What the command adds beside the lists: the changes since the previous run (kept unless
// --no-history), the problems (-p), and `all` with its table, read back by Python's csv module.
#include "clitestsupport.h"
#include "support/zipbuilder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

QJsonObject jsonOf(const CliResult &result)
{
    return QJsonDocument::fromJson(result.out).object();
}

QStringList strings(const QJsonValue &value)
{
    QStringList out;
    for (const QJsonValue &item : value.toArray())
        out.append(item.toString());
    return out;
}

TEST(Extras, ChangesAppearOnTheSecondRunAndNoHistoryKeepsNone)
{
    TempTree config;
    TempTree tree;
    makeSampleZelvora(tree);
    const QStringList roms{u"-d"_s, tree.path(), u"-f"_s, u"json"_s, u"roms"_s};

    EXPECT_TRUE(jsonOf(runCli(roms, config.path())).value(u"changes"_s).isNull()) << "nothing to compare with";
    // abf.zip (unknown) renamed to abd.zip (missing until now).
    ASSERT_TRUE(QFile::rename(tree.filePath(u"romsConsoles/abf.zip"_s), tree.filePath(u"romsConsoles/abd.zip"_s)));
    const CliResult second = runCli(roms, config.path());
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    const QJsonObject changes = jsonOf(second).value(u"changes"_s).toObject();
    EXPECT_EQ(strings(changes.value(u"nowValid"_s)), QStringList{u"abd.zip"_s});
    EXPECT_EQ(strings(changes.value(u"newlyMissing"_s)), QStringList{});
    EXPECT_EQ(strings(changes.value(u"newUnknown"_s)), QStringList{});
    EXPECT_EQ(strings(changes.value(u"unknownGone"_s)), QStringList{u"abf.zip"_s});
    EXPECT_TRUE(QDateTime::fromString(changes.value(u"since"_s).toString(), Qt::ISODate).isValid());

    const CliResult text = runCli({u"-d"_s, tree.path(), u"roms"_s}, config.path());
    EXPECT_TRUE(text.out.contains("\nChanges since ")) << text.out.toStdString();

    TempTree fresh;
    const CliResult none = runCli(QStringList{u"--no-history"_s} + roms, fresh.path());
    EXPECT_FALSE(jsonOf(none).contains(u"changes"_s));
    EXPECT_FALSE(QFileInfo::exists(fresh.path() + u"/data"_s)) << "--no-history wrote a history";
}

// Names from the disk reach every section (problems, possible matches, changes) and stderr only with
// their control characters made visible: none can forge a line or talk to the terminal.
TEST(Extras, EverySectionShowsControlCharactersEscaped)
{
    TempTree config;
    TempTree tree;
    tree.file(u"- Supported Games Lookup For Naming.txt"_s, "Alpha Game\n");
    tree.file(u"roms/dir\x1b]0;x\x07/alpha_game.zip"_s, "PK");
    tree.symlink(u"t\x1bt"_s, u"roms/ln\x1b.zip"_s);
    const QStringList args{u"-d"_s, tree.path(), u"-p"_s, u"-m"_s, u"roms"_s};
    ASSERT_EQ(runCli(args, config.path()).exitCode, 0);
    tree.file(u"roms/new\nnewly missing: x.zip"_s, "PK");
    const CliResult second = runCli(args, config.path());
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();

    for (const QByteArray *stream : {&second.out, &second.err}) {
        for (const char c : *stream)
            EXPECT_TRUE(c == '\n' || (uchar(c) >= 0x20 && uchar(c) != 0x7F)) << "raw control " << int(c);
    }
    for (const char *shown : {"link-skipped: roms/ln\\u{001B}.zip (a link to \"t\\u{001B}t\"",
                              "roms/dir\\u{001B}]0;x\\u{0007}/alpha_game.zip (case-and-separators)",
                              "new unknown: new\\u{000A}newly missing: x.zip"})
        EXPECT_TRUE(second.out.contains(shown)) << shown << "\n" << second.out.toStdString();
}

TEST(Extras, AllWritesBothAuditsProblemsAndATableASpreadsheetReads)
{
    const QString python = QStandardPaths::findExecutable(u"python3"_s);
    TempTree config;
    TempTree tree;
    makeSampleZelvora(tree);
    // A copy of roms16BitConsoles/abe.zip that comes first in path order, so it is the one that counts.
    tree.file(u"roms/abe.zip"_s, QByteArray("PK\5\6") + QByteArray(18, '\0')); // an empty archive
    tree.file(u"romsConsoles/x/abd, \"odd\".zip"_s);
    tree.dir(u"elsewhere"_s);
    tree.symlink(u"../elsewhere"_s, u"videos/linked"_s);

    const CliResult result = runCli({u"--no-history"_s, u"-p"_s, u"-d"_s, tree.path(), u"-f"_s, u"json"_s, u"--table"_s,
                                     tree.filePath(u"table.csv"_s), u"all"_s},
                                    config.path());
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QJsonObject all = jsonOf(result);
    EXPECT_EQ(all.value(u"audit"_s).toString(), u"all"_s);
    EXPECT_EQ(all.value(u"roms"_s).toObject().value(u"audit"_s).toString(), u"roms"_s);
    EXPECT_EQ(all.value(u"videos"_s).toObject().value(u"audit"_s).toString(), u"videos"_s);
    QStringList kinds;
    for (const char *audit : {"roms", "videos"}) {
        for (const QJsonValue &problem : all.value(QLatin1String(audit)).toObject().value(u"problems"_s).toArray())
            kinds.append(problem[u"kind"_s].toString() + u' ' + problem[u"path"_s].toString());
    }
    // The placeholder archives are empty files; only the copy that counts is looked into.
    EXPECT_EQ(kinds.join(u'\n').toStdString(),
              (QStringList{u"duplicate roms16BitConsoles/abe.zip"_s, u"empty-file roms/sub/raceone.ZIP"_s,
                           utf8("empty-file romsConsoles/deep/er/élan.zip"), u"link-skipped videos/linked"_s,
                           u"empty-file videos2/x/abd.xmv"_s})
                  .join(u'\n')
                  .toStdString());

    if (python.isEmpty())
        GTEST_SKIP() << "no python3 to read the table";
    QProcess reader;
    reader.start(python, {u"-c"_s,
                          u"import csv,sys,json\n"
                          "rows=list(csv.reader(open(sys.argv[1],newline='',encoding='utf-8-sig'),strict=True))\n"
                          "print(json.dumps(rows))"_s,
                          tree.filePath(u"table.csv"_s)});
    ASSERT_TRUE(reader.waitForFinished(30'000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    QList<QStringList> rows;
    for (const QJsonValue &row : QJsonDocument::fromJson(reader.readAllStandardOutput()).array())
        rows.append(strings(row));
    const QList<QStringList> expected = {
        {u"game"_s, u"rom"_s, u"rom_status"_s, u"rom_paths"_s, u"video"_s, u"video_status"_s, u"video_paths"_s,
         u"possible_match"_s, u"problems"_s},
        {u"abd"_s,
         u"abd.zip"_s,
         u"missing"_s,
         {},
         u"abd.xmv"_s,
         u"valid"_s,
         u"videos2/x/abd.xmv"_s,
         {},
         u"empty-file"_s},
        {u"abe.zip"_s,
         u"abe.zip"_s,
         u"valid"_s,
         u"roms/abe.zip | roms16BitConsoles/abe.zip"_s,
         u"abe.xmv"_s,
         u"missing"_s,
         {},
         {},
         u"duplicate"_s},
        {u"RaceOne"_s,
         u"RaceOne.zip"_s,
         u"valid"_s,
         u"roms/sub/raceone.ZIP"_s,
         u"RaceOne.xmv"_s,
         u"missing"_s,
         {},
         {},
         u"empty-file"_s},
        {utf8("Élan.7z"),
         utf8("Élan.zip"),
         u"valid"_s,
         utf8("romsConsoles/deep/er/élan.zip"),
         utf8("Élan.xmv"),
         u"missing"_s,
         {},
         {},
         u"empty-file"_s},
        {{}, u"abd, \"odd\".zip"_s, u"unknown"_s, u"romsConsoles/x/abd, \"odd\".zip"_s, {}, {}, {}, {}, {}},
        {{}, u"abf.zip"_s, u"unknown"_s, u"romsConsoles/abf.zip"_s, {}, {}, {}, {}, {}},
        {{}, {}, {}, {}, u"abc.xmv"_s, u"unknown"_s, u"videos/abc.xmv"_s, {}, {}},
        {{}, {}, {}, {}, u"zzz.xmv"_s, u"unknown"_s, u"videosextra/zzz.xmv"_s, {}, {}},
    };
    const auto text = [](const QList<QStringList> &table) {
        QStringList lines;
        for (const QStringList &row : table)
            lines.append(row.join(u'|'));
        return lines.join(u'\n').toStdString();
    };
    EXPECT_EQ(text(rows), text(expected));

    tree.file(u"blocker"_s, "x");
    const CliResult unwritable =
        runCli({u"--no-history"_s, u"-d"_s, tree.path(), u"--table"_s, tree.filePath(u"blocker/t.csv"_s), u"all"_s},
               config.path());
    EXPECT_EQ(unwritable.exitCode, 4);
    EXPECT_TRUE(unwritable.err.contains("Error: t.csv was not written to")) << unwritable.err.toStdString();
}

// --verify prints the damaged entry among the problems, the summary on stderr, and keeps status 0;
// the second run takes the verdict from the cache, and the videos audit refuses the option.
TEST(Extras, VerifyNamesADamagedEntryAndSaysWhatItRead)
{
    TempTree config;
    TempTree tree;
    tree.file(QString::fromLatin1(kRomsListName), "good\r\nbad\r\n");
    tree.file(u"roms/good.zip"_s, test::buildZip({{"good.bin", QByteArray(5000, 'g')}}));
    QByteArray bad = test::buildZip({{"bad\x1b[2J.bin", QByteArray(5000, 'b'), 0}});
    bad[100] = 'x';
    tree.file(u"roms/bad.zip"_s, bad);

    const QStringList args{u"-d"_s, tree.path(), u"--verify"_s, u"roms"_s};
    const CliResult first = runCli(args, config.path());
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_TRUE(first.out.contains("damaged-entry: roms/bad.zip (entry \"bad\\u{001B}[2J.bin\": CRC mismatch)"))
        << first.out.toStdString();
    EXPECT_TRUE(first.err.startsWith("Verified 2 archives, 5.")) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains("; 1 damaged, 0 not verified; 0 from the cache\n")) << first.err.toStdString();
    const CliResult second = runCli(args, config.path());
    EXPECT_TRUE(second.out.contains("damaged-entry: roms/bad.zip")) << second.out.toStdString();
    EXPECT_TRUE(second.err.contains("Verified 2 archives, 0 B, in ")) << second.err.toStdString();
    EXPECT_TRUE(second.err.contains("; 2 from the cache\n")) << second.err.toStdString();

    EXPECT_EQ(runCli({u"-d"_s, tree.path(), u"--verify-all"_s, u"videos"_s}, config.path()).exitCode, 2);
}

} // namespace
} // namespace zelvora::test
