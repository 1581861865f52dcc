#include "app/resultlists.h"

#include "audit/files/resulttext.h"

namespace zelvora {

using namespace Qt::StringLiterals;

QString SharedNameList::text(qsizetype i) const
{
    return nameText(at(i));
}

const NameList &SharedNameList::empty()
{
    static const NameList none;
    return none;
}

NameListLines::NameListLines(QStringView format, SharedNameList names, std::shared_ptr<const NamePositions> shown)
    : m_format(format.toString()), m_names(std::move(names)), m_shown(std::move(shown))
{
    const ResultTextParts parts = resultTextParts(format, m_names.size());
    m_head = parts.head.split(u"\r\n"_s);
    m_tail = parts.tail.split(u"\r\n"_s);
}

qsizetype NameListLines::lineCount() const
{
    // Without names, the head's last line and the tail's first are one line.
    return m_head.size() - 1 + std::max<qsizetype>(shownCount(), 1) + m_tail.size() - 1;
}

qsizetype NameListLines::nameIndexAt(qsizetype line) const
{
    const qsizetype name = line - (m_head.size() - 1);
    return name >= 0 && name < shownCount() ? listIndex(name) : -1;
}

QString NameListLines::line(qsizetype index) const
{
    if (index < 0 || index >= lineCount())
        return {};
    if (index < m_head.size() - 1)
        return m_head[index];
    const qsizetype name = index - (m_head.size() - 1);
    const qsizetype names = std::max<qsizetype>(shownCount(), 1);
    if (name >= names)
        return m_tail[name - names + 1];
    QString text = name == 0 ? m_head.last() : QString();
    if (name < shownCount())
        text += m_names.text(listIndex(name));
    if (name == names - 1)
        text += m_tail.first();
    return text;
}

qsizetype NameListLines::lineLengthHint(qsizetype index) const
{
    const qsizetype name = index - (m_head.size() - 1);
    if (name >= 0 && name < shownCount())
        return qsizetype(m_names.at(listIndex(name)).size());
    return line(index).size();
}

QString NameListLines::text() const
{
    if (m_shown)
        return ResultLines::text();
    return QString::fromUtf8(formatResultText(m_format, m_names.names()));
}

} // namespace zelvora
