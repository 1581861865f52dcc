#include "app/resultlists.h"

#include "audit/resulttext.h"

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

NameListLines::NameListLines(QStringView format, SharedNameList names)
    : m_format(format.toString()), m_names(std::move(names))
{
    const ResultTextParts parts = resultTextParts(format, m_names.size());
    m_head = parts.head.split(u"\r\n"_s);
    m_tail = parts.tail.split(u"\r\n"_s);
}

qsizetype NameListLines::lineCount() const
{
    // Without names, the head's last line and the tail's first are one line.
    return m_head.size() - 1 + std::max<qsizetype>(m_names.size(), 1) + m_tail.size() - 1;
}

QString NameListLines::line(qsizetype index) const
{
    if (index < 0 || index >= lineCount())
        return {};
    if (index < m_head.size() - 1)
        return m_head[index];
    const qsizetype name = index - (m_head.size() - 1);
    const qsizetype names = std::max<qsizetype>(m_names.size(), 1);
    if (name >= names)
        return m_tail[name - names + 1];
    QString text = name == 0 ? m_head.last() : QString();
    if (name < m_names.size())
        text += m_names.text(name);
    if (name == names - 1)
        text += m_tail.first();
    return text;
}

qsizetype NameListLines::lineLengthHint(qsizetype index) const
{
    const qsizetype name = index - (m_head.size() - 1);
    if (name >= 0 && name < m_names.size())
        return qsizetype(m_names.at(name).size());
    return line(index).size();
}

QString NameListLines::text() const
{
    return QString::fromUtf8(formatResultText(m_format, m_names.names()));
}

} // namespace zelvora
