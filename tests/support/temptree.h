#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QTemporaryDir>

namespace zelvora::test {

// A directory tree in a fresh temporary folder, removed with the object. Paths are relative to its
// root; parent folders are made as needed. Each maker fails the current test when it cannot.
class TempTree
{
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const;

    void file(const QString &relative, QByteArrayView content = {}) const;
    // A file whose name is given as raw bytes (for names that are not valid UTF-8).
    void rawFile(const QByteArray &relativeBytes, QByteArrayView content = {}) const;
    void dir(const QString &relative) const;
    void symlink(const QString &target, const QString &relative) const;
    void fifo(const QString &relative) const;
    void socket(const QString &relative) const;

    QByteArray read(const QString &relative) const;

private:
    QTemporaryDir m_dir;
};

} // namespace zelvora::test
