#include "cli/terminalprogress.h"

using namespace Qt::StringLiterals;

namespace zelvora::cli {

static constexpr qint64 kRedrawIntervalMs = 100;
// Carriage return, then the terminal's "erase to end of line".
static constexpr char kClearLine[] = "\r\x1b[K";

TerminalProgress::TerminalProgress(std::FILE *terminal) : m_terminal(terminal) {}

TerminalProgress::~TerminalProgress()
{
    clear();
}

void TerminalProgress::phase(const QString &text)
{
    m_phase = text;
    m_entries = -1;
    draw();
}

void TerminalProgress::entriesSeen(qint64 total)
{
    m_entries = total;
    if (!m_sinceDraw.isValid() || m_sinceDraw.elapsed() >= kRedrawIntervalMs) {
        draw();
    }
}

void TerminalProgress::draw()
{
    QString line = m_phase;
    if (m_entries >= 0) {
        line += u" %1 entries"_s.arg(m_entries);
    }
    const QByteArray bytes = kClearLine + line.toUtf8();
    write(bytes.constData(), std::size_t(bytes.size()));
    m_lineShown = true;
    m_sinceDraw.start();
}

void TerminalProgress::clear()
{
    if (!m_lineShown) {
        return;
    }
    write(kClearLine, sizeof kClearLine - 1);
    m_lineShown = false;
}

// The line only shows progress: a write that fails, say to a closed terminal, changes no result.
void TerminalProgress::write(const char *bytes, std::size_t size)
{
    static_cast<void>(std::fwrite(bytes, 1, size, m_terminal));
    static_cast<void>(std::fflush(m_terminal));
}

} // namespace zelvora::cli
