#pragma once

#include "audit/progress.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace zelvora::cli {

// Shows the current phase text and a live count of entries seen on one terminal line, redrawn in
// place at most about ten times a second.
class TerminalProgress final : public Progress
{
public:
    explicit TerminalProgress(std::FILE *terminal);
    // Clears its line: a copy would clear it again.
    ~TerminalProgress() override;
    Q_DISABLE_COPY_MOVE(TerminalProgress)

    void phase(const QString &text) override;
    void entriesSeen(qint64 total) override;

    // Erases the line, so that what is printed next starts on a clean one.
    void clear();

private:
    void draw();
    void write(const char *bytes, std::size_t size);

    std::FILE *m_terminal;
    QString m_phase;
    qint64 m_entries = -1;
    QElapsedTimer m_sinceDraw;
    bool m_lineShown = false;
};

} // namespace zelvora::cli
