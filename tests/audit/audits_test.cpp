#include "audit/audits.h"
#include "audit/names/names.h"
#include "support/nametexts.h"
#include "support/temptree.h"
#include "support/unprivileged.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

// Records the phases instead of showing them.
class RecordingProgress final : public Progress
{
public:
    void phase(const QString &text) override { phases.append(text); }
    void entriesSeen(qint64 total) override { lastSeen = total; }
    QStringList phases;
    qint64 lastSeen = -1;
};

struct Fixture
{
    test::TempTree tree;
    AuditInputs inputs;

    Fixture()
    {
        inputs.zelvoraDir = tree.path();
        inputs.romsListPath = tree.filePath(u"list.txt"_s);
    }
};

TEST(Audits, RomAuditEndToEnd)
{
    Fixture f;
    f.tree.file(u"list.txt"_s, "RaceOne\r\nzzz.7z\r\ngame\r\ngame 2.zip\r\n");
    f.tree.file(u"roms/raceone.ZIP"_s);
    f.tree.file(u"romsConsoles/sub/Extra.zip"_s);
    f.tree.file(u"roms16BitConsoles/game.zip"_s);
    f.tree.file(u"roms16BitConsoles/a/game 2.zip"_s);
    RecordingProgress progress;
    std::optional<RomAudit> found = runRomAudit(f.inputs, progress);
    ASSERT_TRUE(found.has_value());
    // Moved out of the optional, the views still name the names they were made of.
    const RomAudit results = std::move(*found);
    found.reset();
    EXPECT_EQ(test::textsOf(results.lists.valid), (QStringList{u"game 2.zip"_s, u"game.zip"_s, u"RaceOne.zip"_s}));
    EXPECT_EQ(test::textsOf(results.lists.missing), QStringList{u"zzz.zip"_s});
    EXPECT_EQ(test::textsOf(results.lists.unknown), QStringList{u"Extra.zip"_s});
    EXPECT_EQ(progress.phases, (QStringList{u"Caching Zelvora rom directories..."_s, u"Caching supported rom list..."_s,
                                            u"Auditing roms..."_s}));
    EXPECT_GE(progress.lastSeen, 4);
}

TEST(Audits, ACancelledWalkReadsNoFurtherFolder)
{
    // Cancelled once the first files have been seen: the walk stops early, far from the whole tree;
    // cancelled never, the same tree is found whole.
    class CancellingProgress final : public Progress
    {
    public:
        explicit CancellingProgress(bool cancel) : m_cancel(cancel) {}
        void phase(const QString &) override {}
        void entriesSeen(qint64) override {}
        bool isCancelled() const override { return m_cancel && m_asked++ > 0; }

    private:
        bool m_cancel;
        mutable std::atomic<int> m_asked{0};
    };
    Fixture f;
    f.tree.file(u"list.txt"_s, "a\n");
    for (int i = 0; i < 200; ++i)
        f.tree.file(u"roms/d%1/e/g%1.zip"_s.arg(i));
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        CancellingProgress progress(cancel);
        const std::optional<RomAudit> audit = runRomAudit(f.inputs, progress);
        ASSERT_TRUE(audit.has_value());
        if (cancel) {
            EXPECT_LT(audit->found.size(), 200);
        } else {
            EXPECT_EQ(audit->found.size(), 200);
        }
    }
}

TEST(Audits, RomAuditWithoutAUsableListStopsAfterReadingIt)
{
    Fixture f;
    f.tree.file(u"roms/a.zip"_s);
    RecordingProgress progress;
    EXPECT_FALSE(runRomAudit(f.inputs, progress).has_value());
    EXPECT_EQ(progress.phases,
              (QStringList{u"Caching Zelvora rom directories..."_s, u"Caching supported rom list..."_s}));
}

TEST(Audits, EmptyListAndMissingDirectoryAreNoFailures)
{
    Fixture f;
    f.tree.file(u"list.txt"_s, "\r\n");
    f.tree.file(u"roms/a.zip"_s);
    SilentProgress silent;
    const auto roms = runRomAudit(f.inputs, silent);
    ASSERT_TRUE(roms.has_value());
    EXPECT_EQ(test::textsOf(roms->lists.unknown), QStringList{u"a.zip"_s});

    f.inputs.zelvoraDir = f.tree.filePath(u"nowhere"_s);
    f.tree.file(u"list.txt"_s, "a\r\n");
    const auto none = runRomAudit(f.inputs, silent);
    ASSERT_TRUE(none.has_value());
    EXPECT_EQ(test::textsOf(none->lists.missing), QStringList{u"a.zip"_s});
}

// Videos abc, abd, zzz; supported abd, abe; archives abe, abf.
void makeVideoTree(const test::TempTree &tree)
{
    tree.file(u"list.txt"_s, "abd\r\nabe.zip\r\n");
    tree.file(u"videos/abc.xmv"_s);
    tree.file(u"videos3/x/abd.xmv"_s);
    tree.file(u"videosextra/zzz.XMV"_s);
    tree.file(u"roms/abe.zip"_s);
    tree.file(u"romsConsoles/abf.zip"_s);
}

struct VideoModeCase
{
    const char *label;
    bool availableOnly;
    bool listUsable;
    QStringList valid, missing, extra, unknown;
    QStringList phases;
};

class VideoAuditTest : public ::testing::TestWithParam<VideoModeCase>
{};

TEST_P(VideoAuditTest, ModesAndLookUp)
{
    const VideoModeCase &c = GetParam();
    Fixture f;
    makeVideoTree(f.tree);
    f.inputs.availableRomsOnly = c.availableOnly;
    if (!c.listUsable)
        f.inputs.romsListPath = f.tree.filePath(u"absent.txt"_s);
    RecordingProgress progress;
    std::optional<VideoAudit> found = runVideoAudit(f.inputs, progress);
    ASSERT_TRUE(found.has_value());
    const VideoAudit audit = std::move(*found);
    found.reset();
    EXPECT_EQ(audit.usedRomsList, c.listUsable);
    EXPECT_EQ(test::textsOf(audit.lists.valid), c.valid);
    EXPECT_EQ(test::textsOf(audit.lists.missing), c.missing);
    EXPECT_EQ(test::textsOf(audit.lists.extra), c.extra);
    EXPECT_EQ(test::textsOf(audit.lists.unknown), c.unknown);
    EXPECT_EQ(progress.phases, c.phases);
}

const QString kVideoDirs = u"Caching Zelvora video directories..."_s;
const QString kList = u"Caching supported rom list..."_s;
const QString kAvailable = u"Caching available rom list..."_s;
const QString kAuditing = u"Auditing videos..."_s;

INSTANTIATE_TEST_SUITE_P(Audits, VideoAuditTest,
                         ::testing::Values(VideoModeCase{"every_supported_game",
                                                         false,
                                                         true,
                                                         {u"abd.xmv"_s},
                                                         {u"abe.xmv"_s},
                                                         {},
                                                         {u"abc.xmv"_s, u"zzz.XMV"_s},
                                                         {kVideoDirs, kList, kAuditing}},
                                           VideoModeCase{"available_roms_only",
                                                         true,
                                                         true,
                                                         {},
                                                         {u"abe.xmv"_s},
                                                         {u"abd.xmv"_s},
                                                         {u"abc.xmv"_s, u"zzz.XMV"_s},
                                                         {kVideoDirs, kList, kAvailable, kAuditing}},
                                           VideoModeCase{"available_roms_only_without_list",
                                                         true,
                                                         false,
                                                         {},
                                                         {u"abe.xmv"_s, u"abf.xmv"_s},
                                                         {},
                                                         {u"abc.xmv"_s, u"abd.xmv"_s, u"zzz.XMV"_s},
                                                         {kVideoDirs, kList, kAvailable, kAuditing}}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(Audits, VideoAuditWithoutListAndWithoutCheckBoxFails)
{
    Fixture f;
    makeVideoTree(f.tree);
    f.inputs.romsListPath = f.tree.filePath(u"absent.txt"_s);
    RecordingProgress progress;
    EXPECT_FALSE(runVideoAudit(f.inputs, progress).has_value());
    EXPECT_EQ(progress.phases, (QStringList{kVideoDirs, kList}));
}

TEST(Audits, AvailableArchivesAreSortedAgainAfterRenaming)
{
    Fixture f;
    f.tree.file(u"list.txt"_s, "game\r\ngame 2\r\n");
    f.tree.file(u"roms/game.zip"_s);
    f.tree.file(u"roms/game 2.zip"_s);
    f.tree.file(u"videos/game.xmv"_s);
    f.tree.file(u"videos/game 2.xmv"_s);
    f.inputs.availableRomsOnly = true;
    SilentProgress silent;
    const auto audit = runVideoAudit(f.inputs, silent);
    ASSERT_TRUE(audit.has_value());
    EXPECT_EQ(test::textsOf(audit->lists.valid), (QStringList{u"game 2.xmv"_s, u"game.xmv"_s}));
    EXPECT_TRUE(audit->lists.missing.empty());
    EXPECT_TRUE(audit->lists.unknown.empty());
}

// A U+FEFF is a character of a name wherever it stands: only the list file's own first bytes can be a
// byte-order mark.
TEST(Audits, ByteOrderMarksInsideNamesAreCharacters)
{
    Fixture f;
    f.tree.file(u"list.txt"_s, "\xEF\xBB\xBFgame1\r\n\xEF\xBB\xBFgame2\r\ngame3\r\n");
    f.tree.file(u"roms/game1.zip"_s);
    f.tree.file(u"roms/\uFEFFgame3.zip"_s);
    f.tree.file(u"roms/game2.\uFEFFzip"_s);
    SilentProgress silent;
    const std::optional<RomAudit> audit = runRomAudit(f.inputs, silent);
    ASSERT_TRUE(audit.has_value());
    EXPECT_EQ(test::textsOf(audit->lists.valid), QStringList{u"game1.zip"_s});
    EXPECT_EQ(test::textsOf(audit->lists.missing), (QStringList{u"game3.zip"_s, u"\uFEFFgame2.zip"_s}));
    EXPECT_EQ(test::textsOf(audit->lists.unknown), QStringList{u"\uFEFFgame3.zip"_s});
}

// Everything an audit holds, as lines. The walkers meet folders in any order, so a walk report's lines
// are sorted; found files are sorted already and keep their folders.
QStringList linesOf(const WalkReport &walk)
{
    QStringList lines;
    for (const UnreadFolder &folder : walk.unreadable)
        lines.append(u"unreadable %1 %2"_s.arg(QFile::decodeName(folder.path)).arg(folder.error));
    for (const UnreadFolder &folder : walk.failed)
        lines.append(u"failed %1 %2"_s.arg(QFile::decodeName(folder.path)).arg(folder.error));
    for (const SkippedLink &link : walk.links)
        lines.append(u"link %1 -> %2"_s.arg(QFile::decodeName(link.path), QFile::decodeName(link.target)));
    std::sort(lines.begin(), lines.end());
    return lines;
}

QStringList linesOf(const FoundFiles &files)
{
    QStringList lines;
    // Copies of one name keep the order the parallel walkers met them in: each run of them is a set.
    qsizetype run = 0;
    for (qsizetype i = 0; i <= files.size(); ++i) {
        if (i == files.size() || (i > 0 && compareNameComponents(files.names.at(i), files.names.at(i - 1)) != 0)) {
            std::sort(lines.begin() + run, lines.end());
            run = lines.size();
        }
        if (i < files.size())
            lines.append(files.names.text(i) + u" @ "_s + textOfUtf8(files.folderOf(i)));
    }
    return lines + linesOf(files.walk);
}

QString describe(const std::optional<RomAudit> &audit, RomsListFault fault)
{
    if (!audit)
        return u"no rom audit, fault %1"_s.arg(int(fault));
    const RomAudit &a = *audit;
    return (QStringList() << u"found"_s << linesOf(a.found) << u"supported"_s << test::textsOf(a.supported)
                          << u"valid"_s << test::textsOf(a.lists.valid) << u"missing"_s
                          << test::textsOf(a.lists.missing) << u"unknown"_s << test::textsOf(a.lists.unknown)
                          << u"other formats"_s << linesOf(a.otherFormats))
        .join(u'\n');
}

QString describe(const std::optional<VideoAudit> &audit, RomsListFault fault)
{
    if (!audit)
        return u"no video audit, fault %1"_s.arg(int(fault));
    const VideoAudit &a = *audit;
    return (QStringList() << u"videos"_s << linesOf(a.videos) << u"expected"_s << test::textsOf(a.expected)
                          << u"lookup"_s << (a.lookup ? test::textsOf(*a.lookup) : QStringList{u"none"_s}) << u"valid"_s
                          << test::textsOf(a.lists.valid) << u"missing"_s << test::textsOf(a.lists.missing)
                          << u"extra"_s << test::textsOf(a.lists.extra) << u"unknown"_s
                          << test::textsOf(a.lists.unknown) << u"used list"_s << (a.usedRomsList ? u"yes"_s : u"no"_s)
                          << u"walk"_s << linesOf(a.walk) << u"other formats"_s << linesOf(a.otherFormats))
        .join(u'\n');
}

struct CollectionCase
{
    const char *label;
    bool availableOnly;
    bool otherFormats;
    bool lockedFolders; // one folder below the roms and one below the videos nobody may read
    enum { Usable, Unreadable, NoZelvoraDir } setting;
    const char *mustHold; // in the description, so that the case shows what it is for
};

class CollectionAuditTest : public ::testing::TestWithParam<CollectionCase>
{};

// One walk and one read for both audits give exactly what the two audits give alone.
TEST_P(CollectionAuditTest, EqualsTheTwoAuditsRunAlone)
{
    const CollectionCase &c = GetParam();
    Fixture f;
    // Names whose extension the list gives in several ways, each read once for both audits.
    f.tree.file(u"list.txt"_s, "game\r\nGame\r\n spaced\r\nmissing one\r\nvid only\r\ngame 2\r\nsub/dir\r\n"
                               "ver1.1\r\n.hidden\r\ntrail/\r\n\xC3\x89"
                               "cole.zip\r\n");
    for (const char *file :
         {"roms/game.zip", "roms/Extra.ZIP", "roms/game.7z", "roms16BitConsoles/a/b/ spaced.zip",
          "romsConsoles/game 2.zip", "romsConsoles/dup/game.zip", "roms/locked/hidden.zip", "videos/game.xmv",
          "videos/game.mp4", "videos2/x/Extra.xmv", "videosextra/zzz.XMV", "videos4/vid only.xmv",
          "videos3/locked/hidden.xmv", "elsewhere/stray.zip", "roms/ver1.zip", "videos/.hidden.xmv",
          "videos/\xC3\xA9"
          "cole.xmv"})
        f.tree.file(QString::fromUtf8(file));
    f.tree.symlink(u"../videos"_s, u"roms/linked"_s);
    f.tree.symlink(u"../roms/game.zip"_s, u"videos/link.xmv"_s);
    // Run as nobody, so that a locked folder stays locked even for root.
    for (const auto &entry : std::filesystem::recursive_directory_iterator(f.tree.path().toStdString())) {
        if (!entry.is_symlink())
            std::filesystem::permissions(entry.path(),
                                         std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                         std::filesystem::perm_options::add);
    }
    test::openToOthers(f.tree.path(), f.tree.path());
    if (c.lockedFolders) {
        for (const char *folder : {"roms/locked", "videos3/locked"})
            ASSERT_EQ(::chmod(QFile::encodeName(f.tree.filePath(QString::fromUtf8(folder))).constData(), 0700), 0);
    }
    f.inputs.availableRomsOnly = c.availableOnly;
    f.inputs.otherFormats = c.otherFormats;
    if (c.setting == CollectionCase::Unreadable)
        f.inputs.romsListPath = f.tree.filePath(u"roms"_s);
    if (c.setting == CollectionCase::NoZelvoraDir)
        f.inputs.zelvoraDir = f.tree.filePath(u"nowhere"_s);

    const QByteArray both = test::runUnprivileged([&] {
        SilentProgress silent;
        RomsListFault romFault{};
        RomsListFault videoFault{};
        RomsListFault fault{};
        const std::optional<RomAudit> romsAlone = runRomAudit(f.inputs, silent, &romFault);
        const std::optional<VideoAudit> videosAlone = runVideoAudit(f.inputs, silent, &videoFault);
        const QString alone = describe(romsAlone, romFault) + u'\n' + describe(videosAlone, videoFault);
        CollectionAudit audit = runCollectionAudit(f.inputs, silent, &fault);
        // Moved out, as the command line keeps them: the lists must still name their names.
        const std::optional<RomAudit> roms = std::move(audit.roms);
        const std::optional<VideoAudit> videos = std::move(audit.videos);
        audit = {};
        return (alone + u"\n=====\n"_s + describe(roms, fault) + u'\n' + describe(videos, fault)).toUtf8();
    });
    const qsizetype split = both.indexOf("\n=====\n");
    ASSERT_GE(split, 0) << both.constData();
    const QByteArray alone = both.first(split);
    EXPECT_EQ(both.sliced(split + 7).toStdString(), alone.toStdString());
    EXPECT_TRUE(alone.contains(c.mustHold)) << alone.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Audits, CollectionAuditTest,
    ::testing::Values(
        CollectionCase{"every_supported_game", false, false, false, CollectionCase::Usable, "valid\n.hidden.xmv"},
        CollectionCase{"available_roms_with_other_formats", true, true, false, CollectionCase::Usable,
                       "link roms/linked -> ../videos"},
        CollectionCase{"unreadable_folders", true, false, true, CollectionCase::Usable, "unreadable videos3/locked"},
        CollectionCase{"unreadable_folders_every_game", false, true, true, CollectionCase::Usable,
                       "unreadable roms/locked"},
        CollectionCase{"list_unreadable_available_roms", true, true, false, CollectionCase::Unreadable,
                       "no rom audit, fault 1"},
        CollectionCase{"list_unreadable", false, false, false, CollectionCase::Unreadable, "no video audit, fault 1"},
        CollectionCase{"no_zelvora_directory", true, false, false, CollectionCase::NoZelvoraDir, "found\nsupported"}),
    [](const auto &info) { return std::string(info.param.label); });

// Without a thread to be had, an audit runs its work on the calling thread and gives the same lists.
TEST(Audits, WithoutThreadsTheResultIsTheSame)
{
    Fixture f;
    makeVideoTree(f.tree);
    f.inputs.availableRomsOnly = true;
    test::openToOthers(f.tree.path(), f.tree.filePath(u"videos3/x"_s));
    for (const char *folder : {"videos", "videosextra", "roms", "romsConsoles"})
        test::openToOthers(f.tree.path(), f.tree.filePath(QString::fromLatin1(folder)));
    // A "roms" folder where the process runs, which a broken fallback would audit instead.
    test::TempTree elsewhere;
    elsewhere.file(u"roms/wrong.zip"_s);
    test::openToOthers(elsewhere.path(), elsewhere.filePath(u"roms"_s));

    const auto lists = [&] {
        SilentProgress silent;
        const std::optional<VideoAudit> audit = runVideoAudit(f.inputs, silent);
        if (!audit)
            return QByteArray("no audit");
        QStringList all;
        for (const NameList *list :
             {&audit->lists.valid, &audit->lists.missing, &audit->lists.extra, &audit->lists.unknown})
            all.append(test::textsOf(*list).join(u','));
        return all.join(u'|').toUtf8();
    };
    const QByteArray threaded = lists();
    const QByteArray alone = test::runUnprivileged([&] {
        const rlimit one{1, 1};
        if (::chdir(QFile::encodeName(elsewhere.path()).constData()) != 0 || ::setrlimit(RLIMIT_NPROC, &one) != 0)
            return QByteArray("no limit");
        // The limit must bite, or this run proves nothing.
        try {
            std::thread([] {}).join();
            return QByteArray("threads still start");
        } catch (const std::system_error &) {
        }
        return lists();
    });
    EXPECT_EQ(threaded, "|abe.xmv|abd.xmv|abc.xmv,zzz.XMV");
    EXPECT_EQ(alone, threaded);
}

} // namespace
} // namespace zelvora
