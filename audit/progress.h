#pragma once

#include <QString>

namespace zelvora {

// Where an audit reports what it is doing. Called on the thread that runs the audit.
class Progress
{
public:
    virtual ~Progress() = default;
    // One of the fixed phase texts, e.g. "Caching Zelvora rom directories...".
    virtual void phase(const QString &text) = 0;
    // Running count of directory entries looked at in the current phase; called now and then, not per file.
    virtual void entriesSeen(qint64 total) = 0;
    // Whether the caller wants the audit to stop: the walkers then read no further folder and the
    // audit ends early with an incomplete result, which the caller discards. Called on any walker's
    // thread, so it must be safe to call from several threads at once.
    virtual bool isCancelled() const { return false; }
};

class SilentProgress final : public Progress
{
public:
    void phase(const QString &) override {}
    void entriesSeen(qint64) override {}
};

} // namespace zelvora
