#pragma once

// The window's edge of the engine: a result list shared with the views that show it, and the lines of
// a result text made from such a list one at a time, as the view asks for them.

#include "audit/names/merge.h"
#include "platform/resultlines.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <string_view>
#include <vector>

namespace zelvora {

// A result list and the audit whose names it views, kept alive together: copying it copies no name.
class SharedNameList
{
public:
    SharedNameList() = default;
    SharedNameList(std::shared_ptr<const void> owner, const NameList &names)
        : m_owner(std::move(owner)), m_names(&names)
    {}

    const NameList &names() const { return m_names ? *m_names : empty(); }
    qsizetype size() const { return qsizetype(names().size()); }
    bool isEmpty() const { return names().empty(); }
    std::string_view at(qsizetype i) const { return names()[std::size_t(i)]; }
    QString text(qsizetype i) const;

private:
    static const NameList &empty();

    std::shared_ptr<const void> m_owner;
    const NameList *m_names = nullptr;
};

// The positions of the names a filter lets through, in list order.
using NamePositions = std::vector<qint32>;

// The lines of the result text of `names` in `format` ("Found %lu ...:\r\n\r\n%@"), exactly as the
// joined text would show them; a name's line is made when it is asked for. With `shown`, only the
// names at those positions are lines; the head still counts the whole list.
class NameListLines final : public ResultLines
{
public:
    NameListLines(QStringView format, SharedNameList names, std::shared_ptr<const NamePositions> shown = {});

    const SharedNameList &names() const { return m_names; }
    // The number of names shown, all or those the filter lets through.
    qsizetype shownCount() const { return m_shown ? qsizetype(m_shown->size()) : m_names.size(); }
    bool isFiltered() const { return m_shown != nullptr; }
    // The position in the list of the name on line `line`; -1 for a line without a name.
    qsizetype nameIndexAt(qsizetype line) const;

    qsizetype lineCount() const override;
    QString line(qsizetype index) const override;
    qsizetype lineLengthHint(qsizetype index) const override;
    QString text() const override;

private:
    qsizetype listIndex(qsizetype shown) const { return m_shown ? (*m_shown)[std::size_t(shown)] : shown; }

    QString m_format;
    SharedNameList m_names;
    std::shared_ptr<const NamePositions> m_shown;
    // The format's lines before and after the names; the last of the head and the first of the tail
    // share a line with the first and the last name.
    QStringList m_head;
    QStringList m_tail;
};

} // namespace zelvora
