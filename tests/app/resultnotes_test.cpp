#include "app/resultnotes.h"
#include "apptestfixture.h"

#include <QLabel>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class ResultNotesTest : public AppTest
{
protected:
    void SetUp() override
    {
        zelvora.writeList("abd\n");
        zelvora.tree.file(u"roms/abd.zip"_s);
        zelvora.tree.file(u"videos/abd.xmv"_s);
        zelvora.tree.file(u"a file"_s);
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }

    ZelvoraTree zelvora;
};

// The label beside each result tells when the directory audited was not there, until the next result.
TEST_F(ResultNotesTest, MissingDirectoryIsNotedBesideTheResultUntilTheNextOne)
{
    EXPECT_TRUE(ui().romsNotesLabel->isHidden());
    EXPECT_TRUE(ui().videosNotesLabel->isHidden());
    const struct
    {
        QString dir;
        QString note; // %1: the directory
    } cases[] = {
        {zelvora.tree.filePath(u"absent"_s),
         u"Warning: the Zelvora directory \"%1\" does not exist; no files are found in it."_s},
        {zelvora.tree.filePath(u"a file"_s),
         u"Warning: the Zelvora directory \"%1\" is not a directory; no files are found in it."_s},
        {zelvora.tree.path(), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dir.toStdString());
        ui().zelvoraDirPathTextField->setText(c.dir);
        clickAuditRoms();
        clickAuditVideos();
        for (QLabel *label : {ui().romsNotesLabel, ui().videosNotesLabel}) {
            EXPECT_EQ(label->isHidden(), c.note.isEmpty());
            EXPECT_EQ(label->text(), c.note.isEmpty() ? QString() : c.note.arg(c.dir));
        }
    }

    // An audit without a result keeps the earlier result, and its note with it.
    ui().zelvoraDirPathTextField->setText(zelvora.tree.filePath(u"absent"_s));
    clickAuditRoms();
    ui().romsListPathTextField->setText(zelvora.tree.filePath(u"no list.txt"_s));
    clickAuditRoms();
    EXPECT_FALSE(ui().romsNotesLabel->isHidden());
}

TEST(ResultNotes, UnreadableFoldersAreCountedAndNamed)
{
    WalkReport walk;
    walk.unreadable = {{"roms/a", EACCES}, {"roms/b c", EACCES}};
    const ResultNotes two = resultNotes(u"/z"_s, std::nullopt, walk);
    EXPECT_EQ(two.text, u"2 folders could not be read; their files are not counted."_s);
    EXPECT_EQ(two.toolTip, u"/z/roms/a (Permission denied)\n/z/roms/b c (Permission denied)"_s);

    walk.unreadable.resize(1);
    const ResultNotes one = resultNotes(u"/z"_s, u"Warning: x"_s, walk);
    EXPECT_EQ(one.text, u"Warning: x\n1 folder could not be read; its files are not counted."_s);

    walk.unreadable.assign(25, UnreadFolder{"roms/x", EACCES});
    EXPECT_TRUE(resultNotes(u"/z"_s, std::nullopt, walk).toolTip.endsWith(u"\n... and 5 more folders"_s));
    EXPECT_TRUE(resultNotes(u"/z"_s, std::nullopt, WalkReport{}).text.isEmpty());
}

} // namespace
} // namespace zelvora::test
