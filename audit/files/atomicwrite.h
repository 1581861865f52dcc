#pragma once

// The one way this project writes a file: a reader sees the old content or the new, never a mix,
// and nothing outside the folder written into is ever opened for writing. A file is written into a
// new hidden temporary file in its folder (created there, never reached through a link), synced, and
// renamed over its name; a rename replaces a link at that name instead of following it. A save killed
// before its rename leaves the temporary file behind, under a name no report has, for a later save
// into the folder to remove.

#include <QByteArrayView>
#include <QString>

namespace zelvora {

// A folder open for writing files into; every name is then resolved from this handle, so the folder
// cannot be swapped for another between two files. A link to the folder itself is followed: it is
// the folder that was chosen.
class SaveFolder
{
public:
    explicit SaveFolder(const QString &path);
    ~SaveFolder();
    SaveFolder(const SaveFolder &) = delete;
    SaveFolder &operator=(const SaveFolder &) = delete;
    SaveFolder(SaveFolder &&) = delete;
    SaveFolder &operator=(SaveFolder &&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int handle() const { return m_fd; }
    // Why it could not be opened.
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};

// Temporary files are named `.zelvora-tmp-<name>-XXXXXX`, with six letters or digits.
inline constexpr char kTemporaryFilePrefix[] = ".zelvora-tmp-";

// Whether the bytes reach the disk before the rename. Unsynced saves the wait for the disk, but after a
// crash of the system (not of the program) the file may be found empty or cut short: only for a file
// whose loss costs nothing and whose reader recognises damage (the audit history's checksum).
enum class Durability { Synced, Unsynced };

// Writes `bytes` as the file `name` (one path component) of `folder`. An existing regular file keeps
// its permission bits, and one the user may not write is refused, as is a folder at that name.
// Returns why it failed, empty when the file was written.
QString writeFileAtomically(const SaveFolder &folder, const QString &name, QByteArrayView bytes,
                            Durability durability = Durability::Synced);

// Removes what saves into `folder` left behind when they were killed: regular files named as their
// temporary files that no save still running holds (a save locks its temporary file as soon as it has
// made it, and gives up one it cannot lock). Links are neither followed nor removed, nor is anything
// else.
void removeStaleTemporaryFiles(const SaveFolder &folder);

} // namespace zelvora
