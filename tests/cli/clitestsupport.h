#pragma once

#include "support/temptree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace zelvora::test {

struct CliResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs zelvora-auditor-cli with `arguments`, its settings folder (XDG_CONFIG_HOME) set to
// `configHome`, stdin closed and stdout and stderr captured through pipes (so not a terminal).
// `childSetup` runs in the child before the program starts; `environment` adds "NAME=value" entries.
// A run that has not ended after `timeoutMs` is killed and fails the test.
CliResult runCli(const QStringList &arguments, const QString &configHome, const std::function<void()> &childSetup = {},
                 const QStringList &environment = {}, int timeoutMs = 30'000);

// The same with arguments given as bytes, for paths that are not UTF-8 (QProcess would change them).
CliResult runCliBytes(const QList<QByteArray> &arguments, const QString &configHome);

// Saves the desktop application's paths into the settings below `configHome`.
void saveSettings(const QString &configHome, const QString *zelvoraDir, const QString *romsListPath);

inline constexpr char kRomsListName[] = "- Supported Games Lookup For Naming.txt";
inline constexpr char kRomsListError[] = "Error: Can't find supported roms list or it is too big.\n";

// A small Zelvora directory holding every outcome of both audits:
//   roms:   valid abe.zip, RaceOne.zip, Élan.zip; missing abd.zip; unknown abf.zip
//   videos: valid abd.xmv; missing abe.xmv, RaceOne.xmv, Élan.xmv; unknown abc.xmv, zzz.xmv
//   videos -a: missing abe.xmv, raceone.xmv, élan.xmv; extra abd.xmv; unknown abc.xmv, zzz.xmv
void makeSampleZelvora(const TempTree &tree, const QString &relative = {}, bool withRomsList = true);

QString utf8(const char *text);

} // namespace zelvora::test
