#pragma once

#include "audit/audits.h"
#include "audit/nearmiss/nearmissrenames.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zelvora::cli {

enum class OutputFormat { Text, Json };

struct Options
{
    AuditKind audit = AuditKind::Roms;
    std::optional<QString> zelvoraDir;
    std::optional<QString> romsList;
    std::optional<QString> saveDir;
    bool availableRomsOnly = false;
    bool quiet = false;
    bool problems = false;
    bool noHistory = false;
    bool verify = false;              // implies problems
    bool verifyAll = false;           // implies verify
    std::optional<QString> tableFile; // all only
    bool nearMisses = false;
    std::optional<NearMissReasons> renameReasons; // needs nearMisses
    OutputFormat format = OutputFormat::Text;
};

struct Command
{
    enum class Kind { Run, Help, Version, UsageError };
    Kind kind = Kind::Run;
    Options options;
    QString error; // for UsageError
};

// `arguments` as main received them, the program name first.
Command parseCommandLine(const QStringList &arguments);

QString usageText();

} // namespace zelvora::cli
