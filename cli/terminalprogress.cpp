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
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_terminal);
    std::fflush(m_terminal);
    m_lineShown = true;
    m_sinceDraw.start();
}

void TerminalProgress::clear()
{
    if (!m_lineShown) {
        return;
    }
    std::fputs(kClearLine, m_terminal);
    std::fflush(m_terminal);
    m_lineShown = false;
}

} // namespace zelvora::cli
