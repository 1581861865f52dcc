// Every problem kind found in one tree that holds each of them beside files that are fine, audited as
// an unprivileged user so that a folder without permissions stays closed even to a test run as root.
#include "audit/checks/problems.h"
#include "support/temptree.h"
#include "support/unprivileged.h"
#include "support/zipbuilder.h"

#include <QFile>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

TEST(Problems, EveryKindIsFoundAndNothingThatIsFine)
{
    test::TempTree tree;
    const QString list = u"- Supported Games Lookup For Naming.txt"_s;
    // eta twice (ETA), " epsilon" and "zeta\t" with blanks.
    tree.file(list,
              "alpha\r\nbeta\r\ngamma\r\ndelta\r\n epsilon\r\nzeta\t\r\neta\r\ntheta\r\nETA\r\niota\r\nkappa\r\n");
    const QByteArray zip = test::buildZip({{"rest", "rest"}});
    const QByteArray empty = test::buildZip({});
    tree.file(u"roms/alpha.zip"_s, zip);
    tree.file(u"roms/Beta.zip"_s, empty);
    tree.file(u"romsConsoles/beta.zip"_s, empty); // second copy: "Beta.zip" sorts first
    tree.file(u"roms/gamma.zip"_s);
    tree.file(u"roms16BitConsoles/delta.zip"_s, QByteArrayView("7z\xBC\xAF\x27\x1C", 6));
    tree.file(u"roms/theta.zip"_s, "PK\7\x08" + empty); // the spanned-archive marker
    tree.file(u"roms/kappa.zip"_s, zip.first(zip.size() - 5));
    tree.file(u"roms/iota.zip"_s, QByteArrayView("PK", 2)); // too short for a signature
    tree.file(u"roms/unlisted.zip"_s);                      // empty, but not a game: nothing to say
    tree.file(u"elsewhere/eta.zip"_s, QByteArrayView("PK\3\4", 4));
    tree.symlink(u"../elsewhere/eta.zip"_s, u"roms/eta.zip"_s);
    tree.symlink(u"../elsewhere"_s, u"roms/linkdir"_s);
    tree.symlink(u"nowhere.txt"_s, u"roms/notes.txt"_s); // neither a folder nor an archive: does not matter
    tree.file(u"roms/locked/zeta.zip"_s, QByteArrayView("PK\3\4", 4));
    tree.fifo(u"roms/theta2.zip"_s); // a FIFO named like an archive
    tree.fifo(u"roms/notes2.txt"_s); // not named like one: does not matter
    for (const QString &folder : {u"roms"_s, u"romsConsoles"_s, u"roms16BitConsoles"_s, u"roms/locked"_s})
        test::openToOthers(tree.path(), tree.filePath(folder));
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path() + u"/"_s + list).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(tree.filePath(u"roms/locked"_s)).constData(), 0), 0);

    const QByteArray found = test::runUnprivileged([&] {
        SilentProgress silent;
        const std::optional<RomAudit> audit = runRomAudit({tree.path(), tree.filePath(list), false}, silent);
        if (!audit)
            return QByteArray("no audit");
        QByteArray out;
        for (const Problem &problem : romProblems({tree.path(), tree.filePath(list), false}, *audit))
            out += problemKindId(problem.kind).toUtf8() + ' ' + problem.path + " | " + problem.detail.toUtf8() + '\n';
        return out;
    });
    ::chmod(QFile::encodeName(tree.filePath(u"roms/locked"_s)).constData(), 0755);
    if (found == "child failed")
        GTEST_SKIP() << "cannot run as an unprivileged user here";

    // The list lies in the tree: named below it, as the files are.
    const QByteArray listPath = QFile::encodeName(list);
    // In kind order; within a kind in the order found, which the table gives where it is fixed.
    const std::vector<std::pair<QByteArray, QByteArray>> expected = {
        {"unreadable-folder roms/locked", std::strerror(EACCES)},
        {"link-skipped roms/eta.zip", "\"../elsewhere/eta.zip\""},
        {"link-skipped roms/linkdir", "\"../elsewhere\""},
        {"not-a-file roms/theta2.zip", "not a regular file"},
        {"duplicate romsConsoles/beta.zip", "\"roms/Beta.zip\""},
        {"empty-file roms/gamma.zip", "empty"},
        {"not-a-zip roms16BitConsoles/delta.zip", "zip signature"},
        {"not-a-zip roms/iota.zip", "zip signature"},
        {"damaged-zip roms/kappa.zip", "cut short: the end record is missing"},
        {"list-duplicate " + listPath, "\"ETA.zip\""},
        {"list-whitespace " + listPath, "\" epsilon\" starts"},
        {"list-whitespace " + listPath, "\"zeta\t\" ends"},
    };
    QList<QByteArray> lines = found.split('\n');
    lines.removeAll(QByteArray());
    // The two links may come in either order: the walk is parallel.
    std::sort(lines.begin() + 1, lines.begin() + std::min<qsizetype>(3, lines.size()));
    ASSERT_EQ(std::size_t(lines.size()), expected.size()) << found.toStdString();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const QByteArray &line = lines[qsizetype(i)];
        EXPECT_TRUE(line.startsWith(expected[i].first + " | ")) << line.toStdString();
        EXPECT_TRUE(line.contains(expected[i].second)) << line.toStdString();
    }
}

// A file the walk counted may have become a FIFO before its bytes are read: the check neither waits
// for a writer nor reports it, whether the check reads a signature or only looks for content.
TEST(Problems, AFileTurnedFifoNeverBlocksTheCheck)
{
    test::TempTree tree;
    tree.file(u"roms/fine.zip"_s, test::buildZip({}));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.filePath(u"roms/pipe.zip"_s)).constData(), 0644), 0);
    FoundFiles found;
    found.folderPaths.append("roms");
    for (const std::string_view name : {"fine.zip", "pipe.zip"}) {
        found.names.append(name);
        found.folders.push_back(0);
    }
    for (const bool zipSignature : {true, false})
        EXPECT_TRUE(fileProblems(tree.path(), found, {0, 1}, zipSignature).empty());
}

} // namespace
} // namespace zelvora
