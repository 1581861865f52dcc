#include "clitestsupport.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

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
    // The audit history goes there too, never into the user's own data folder.
    childEnvironment.insert(u"XDG_DATA_HOME"_s, configHome + u"/data"_s);
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

CliResult runCliBytes(const QList<QByteArray> &arguments, const QString &configHome)
{
    // Everything the child needs is made before the fork.
    const TempTree io;
    const QByteArray outPath = QFile::encodeName(io.filePath(u"out"_s));
    const QByteArray errPath = QFile::encodeName(io.filePath(u"err"_s));
    std::vector<std::string> environment{"XDG_CONFIG_HOME=" + QFile::encodeName(configHome).toStdString(),
                                         "HOME=" + QFile::encodeName(configHome).toStdString(),
                                         "XDG_DATA_HOME=" + QFile::encodeName(configHome + u"/data"_s).toStdString()};
    for (char **entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (text.rfind("XDG_CONFIG_HOME=", 0) != 0 && text.rfind("HOME=", 0) != 0 &&
            text.rfind("XDG_DATA_HOME=", 0) != 0)
            environment.push_back(text);
    }
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    QList<QByteArray> argumentBytes = QList<QByteArray>{ZELVORA_CLI_PATH} + arguments;
    std::vector<char *> argv;
    for (QByteArray &argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    CliResult result;
    int status = 0;
    for (int waited = 0; ::waitpid(child, &status, WNOHANG) == 0; waited += 10) {
        if (waited >= 30'000) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ADD_FAILURE() << "zelvora-auditor-cli did not finish";
            return result;
        }
        ::usleep(10'000);
    }
    if (!WIFEXITED(status)) {
        ADD_FAILURE() << "zelvora-auditor-cli did not finish normally: status " << status;
        return result;
    }
    result.exitCode = WEXITSTATUS(status);
    result.out = io.read(u"out"_s);
    result.err = io.read(u"err"_s);
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
