#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace zelvora::test {

// Permission bits do not stop root, and CI runs as root: these run work as the unprivileged user
// "nobody" instead. Whatever that user must reach has to be opened up to others (see openToOthers).

// Gives up root for the rest of the calling process; a process that is not root keeps its user.
// Returns false when that fails. Meant for a freshly forked child, e.g. as a child setup function.
bool dropRoot();

// Runs `work` in a forked child and returns what it produced, or "child failed" when the child did not
// end normally: for work that changes the process (its limits, its user) or may not survive.
QByteArray runInChild(const std::function<QByteArray()> &work);

// Runs `work` in a forked child that has given up root and returns what it produced. Returns
// "child failed" when the child could not give up root or did not end normally.
QByteArray runUnprivileged(const std::function<QByteArray()> &work);

// Lets others list and enter `path` and every folder above it up to `root`, so that nobody can reach
// it below a private temporary folder.
void openToOthers(const QString &root, const QString &path);

} // namespace zelvora::test
