#include "cli/run.h"

#include <QFile>
#include <QStringList>

int main(int argc, char *argv[])
{
    // Decoded as file names, since most arguments are paths.
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i) {
        arguments.append(QFile::decodeName(argv[i]));
    }
    return zelvora::cli::run(arguments);
}
