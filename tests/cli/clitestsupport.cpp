#include "clitestsupport.h"

#include <QProcess>
#include <QSettings>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

CliResult runCli(const QStringList &arguments, const QString &configHome, const std::function<void()> &childSetup,
                 const QStringList &environment, int timeoutMs)
{
    QProcess process;
    QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
    childEnvironment.insert(u"XDG_CONFIG_HOME"_s, configHome);
    childEnvironment.insert(u"HOME"_s, configHome);
    for (const QString &entry : environment)
        childEnvironment.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    process.setProcessEnvironment(childEnvironment);
    process.setInputChannelMode(QProcess::ManagedInputChannel);
    if (childSetup) {
        process.setChildProcessModifier(childSetup);
    }
    process.start(QString::fromUtf8(ZELVORA_CLI_PATH), arguments);
    process.closeWriteChannel();
    CliResult result;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "zelvora-auditor-cli did not finish normally: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

void saveSettings(const QString &configHome, const QString *zelvoraDir, const QString *romsListPath)
{
    // The file QSettings("zelvora", "zelvora-auditor") uses on this platform.
    QSettings settings(configHome + u"/zelvora/zelvora-auditor.conf"_s, QSettings::IniFormat);
    if (zelvoraDir) {
        settings.setValue(u"ZelvoraDirPath"_s, *zelvoraDir);
    }
    if (romsListPath) {
        settings.setValue(u"ZelvoraRomsListPath"_s, *romsListPath);
    }
    settings.sync();
    ASSERT_EQ(settings.status(), QSettings::NoError);
}

void makeSampleZelvora(const TempTree &tree, const QString &relative, bool withRomsList)
{
    const QString root = relative.isEmpty() ? QString() : relative + u'/';
    tree.file(root + u"roms/sub/raceone.ZIP"_s);
    tree.file(root + u"roms16BitConsoles/abe.zip"_s);
    tree.file(root + u"romsConsoles/abf.zip"_s);
    tree.file(root + utf8("romsConsoles/deep/er/élan.zip"));
    tree.file(root + u"videos/abc.xmv"_s);
    tree.file(root + u"videos2/x/abd.xmv"_s);
    tree.file(root + u"videosextra/zzz.xmv"_s);
    if (withRomsList) {
        tree.file(root + QString::fromUtf8(kRomsListName), "abd\r\nabe.zip\r\nRaceOne\r\n\xc3\x89lan.7z\r\n");
    }
}

} // namespace zelvora::test
