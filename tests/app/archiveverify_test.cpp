// Verify Archives in the window: the rows it finds join the rom problems, Cancel keeps them as they
// were, and the progress line says how far it is.
#include "app/archiveverify.h"
#include "app/problemsview.h"
#include "apptestfixture.h"
#include "support/zipbuilder.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class ArchiveVerifyTest : public AppTest
{
protected:
    void SetUp() override
    {
        // The verdicts are kept in the user's data folder: never the real one.
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        zelvora.writeList("Alpha\nBravo\nCharlie\n");
        zelvora.tree.file(u"roms/Alpha.zip"_s, buildZip({{"alpha.bin", QByteArray(4096, 'a')}}));
        zelvora.tree.file(u"roms/Bravo.zip"_s, buildZip({{"bravo.bin", QByteArray(4096, 'b'), 8, false, 0, 0x1234}}));
        launchWith(zelvora.tree.path(), zelvora.listPath());
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }

    ArchiveVerify &verify() { return controller.archiveVerify(); }
    VerifyBar &bar() { return *window.verifyBar(); }

    void waitForVerify()
    {
        if (verify().isVerifying()) {
            QSignalSpy spy(&verify(), &ArchiveVerify::verifyingChanged);
            ASSERT_TRUE(spy.wait(20000)) << "the verify did not finish";
        }
    }

    QStringList problemRows() const
    {
        QStringList rows;
        const QAbstractItemModel *model = window.problemsPane(0)->table()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows.append(model->index(row, 0).data().toString() + u' ' + model->index(row, 1).data().toString());
        return rows;
    }

    QTemporaryDir data;
    ZelvoraTree zelvora;
};

TEST_F(ArchiveVerifyTest, FindsTheDamagedEntryAndAddsItToTheRomProblems)
{
    EXPECT_FALSE(window.verifyArchivesAction()->isEnabled()) << "nothing to verify before an audit";
    clickAuditRoms();
    EXPECT_TRUE(problemRows().isEmpty()) << "the quick check reads no entry";
    ASSERT_TRUE(window.verifyArchivesAction()->isEnabled());

    window.verifyArchivesAction()->trigger();
    EXPECT_FALSE(window.problemsPane(0)->table()->isHidden()) << "the verify shows the problems";
    EXPECT_FALSE(bar().isHidden());
    EXPECT_FALSE(window.verifyArchivesAction()->isEnabled()) << "one verify at a time";
    waitForVerify();

    EXPECT_EQ(problemRows(), QStringList{u"damaged-entry roms/Bravo.zip"_s});
    EXPECT_EQ(window.problemsPane(0)->toggle()->text(), u"Problems (1)"_s);
    EXPECT_TRUE(bar().statusLabel()->text().startsWith(u"Verified 2 archives, "_s))
        << bar().statusLabel()->text().toStdString();
    EXPECT_TRUE(bar().statusLabel()->text().endsWith(u"; 1 damaged, 0 not verified; 0 from the cache"_s));
    EXPECT_TRUE(bar().progressBar()->isHidden());

    // Again: the verdicts come from the cache, and the damaged row is not doubled.
    QTest::mouseClick(bar().verifyButton(), Qt::LeftButton);
    waitForVerify();
    EXPECT_EQ(problemRows(), QStringList{u"damaged-entry roms/Bravo.zip"_s});
    EXPECT_TRUE(bar().statusLabel()->text().endsWith(u"; 2 from the cache"_s));
}

TEST_F(ArchiveVerifyTest, CancelKeepsTheProblemsAsTheyWere)
{
    clickAuditRoms();
    window.verifyArchivesAction()->trigger();
    ASSERT_FALSE(bar().cancelButton()->isHidden());
    QTest::mouseClick(bar().cancelButton(), Qt::LeftButton);
    waitForVerify();
    EXPECT_TRUE(problemRows().isEmpty());
    EXPECT_TRUE(bar().statusLabel()->text().startsWith(u"Verify cancelled."_s));
    EXPECT_TRUE(window.verifyArchivesAction()->isEnabled());
}

TEST_F(ArchiveVerifyTest, ANewAuditStopsTheVerifyOfTheResultItReplaces)
{
    clickAuditRoms();
    window.verifyArchivesAction()->trigger();
    clickAuditRoms();
    waitForVerify();
    EXPECT_TRUE(problemRows().isEmpty());
}

TEST(VerifyProgressText, SaysHowFarAndHowLong)
{
    const struct
    {
        qint64 files, total, bytes;
        double seconds;
        QString text;
    } cases[] = {
        {0, 5000, 0, 0.2, u"0 of 5,000 archives, 0 B"_s},
        {10, 5000, 1'500'000, 0.5, u"10 of 5,000 archives, 1.5 MB"_s},
        {1000, 5000, 200'000'000, 2, u"1,000 of 5,000 archives, 200.0 MB, 100.0 MB/s, about 8 s left"_s},
        {100, 5000, 100'000'000, 2, u"100 of 5,000 archives, 100.0 MB, 50.0 MB/s, about 2 min left"_s},
        {1000, 5000, 187'500'000, 18.75, u"1,000 of 5,000 archives, 187.5 MB, 10.0 MB/s, about 75 s left"_s},
        {5000, 5000, 1'000'000'000, 10, u"5,000 of 5,000 archives, 1.0 GB, 100.0 MB/s"_s},
    };
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const auto &c : cases)
        EXPECT_EQ(verifyProgressText(c.files, c.total, c.bytes, c.seconds), c.text) << c.text.toStdString();
    QLocale::setDefault(saved);
}

} // namespace
} // namespace zelvora::test
