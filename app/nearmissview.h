#pragma once

// The possible matches of an audit: a table model of its near-miss pairs (each with a check box saying
// whether "Rename checked…" renames it), the sorted and filtered view of it the table shows, and the
// pane that shows it below the audit's result view, with its count, the ambiguous names left alone, the
// buttons that check or uncheck the shown pairs and the rename button.

#include "audit/nearmiss/nearmiss.h"
#include "audit/nearmiss/saferename.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace zelvora {

class NearMissModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Expected, Found, Folder, Reason, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // `owner` keeps alive the audit whose blocks the pairs point into.
    void setNearMisses(std::shared_ptr<const void> owner, std::shared_ptr<const NearMisses> nearMisses);
    const NearMisses *nearMisses() const { return m_nearMisses.get(); }

    // Checked by default unless a typo; a file in another format has no check box at all.
    bool isCheckable(int row) const;
    bool isChecked(int row) const { return m_checked[std::size_t(row)]; }
    qsizetype checkedCount() const { return m_checkedCount; }
    // Checks or unchecks the pairs of `rows` that have a check box.
    void setChecked(const std::vector<int> &rows, bool checked);
    // The renames of the checked pairs of `rows`, in that order.
    std::vector<RenameRequest> checkedRequests(const std::vector<int> &rows) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void checkedCountChanged(qsizetype count);

private:
    std::shared_ptr<const void> m_owner;
    std::shared_ptr<const NearMisses> m_nearMisses;
    std::vector<bool> m_checked;
    qsizetype m_checkedCount = 0;
};

// The pairs as the table shows them: sorted by the column clicked last, and only those whose expected
// name or found file holds the filter text, letter case aside.
class NearMissFilter final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit NearMissFilter(QObject *parent = nullptr);
    void setText(const QString &text);
    const QString &text() const { return m_text; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_text;
};

class NearMissPane final : public QWidget
{
    Q_OBJECT

public:
    explicit NearMissPane(QWidget *parent = nullptr);
    // Room for its header and eight pairs, the rest of a split going to the result above it.
    QSize sizeHint() const override;

    // Hidden while there is nothing to show.
    void setNearMisses(std::shared_ptr<const void> owner, std::shared_ptr<const NearMisses> nearMisses);
    // While an audit or a rename runs, nothing may be renamed.
    void setBusy(bool busy);
    // Why the pairs shown may not be renamed (their result is out of date); empty when they may.
    void setOutOfDate(const QString &why);
    // The text of the filter over the audit's lists, which filters the pairs too.
    void setFilterText(const QString &text);

    // The pairs shown, as rows of model(), in the table's order.
    std::vector<int> shownRows() const;
    // What "Rename checked…" renames: the checked pairs the table shows. A pair the filter hides keeps
    // its check box for later, but a rename never touches a file the user cannot see.
    std::vector<RenameRequest> checkedRequests() const { return m_model->checkedRequests(shownRows()); }
    void setShownChecked(bool checked) { m_model->setChecked(shownRows(), checked); }

    NearMissModel *model() const { return m_model; }
    NearMissFilter *shown() const { return m_shown; }
    QTableView *table() const { return m_table; }
    QLabel *countLabel() const { return m_count; }
    QPushButton *renameButton() const { return m_rename; }
    QPushButton *checkAllButton() const { return m_checkAll; }
    QPushButton *uncheckAllButton() const { return m_uncheckAll; }

Q_SIGNALS:
    void renameRequested();

private:
    void updateCount();
    void updateButtons();

    NearMissModel *m_model;
    NearMissFilter *m_shown;
    QLabel *m_count;
    QLabel *m_ambiguous;
    QPushButton *m_checkAll;
    QPushButton *m_uncheckAll;
    // The same two on the table's menu.
    QAction *m_checkAllItem;
    QAction *m_uncheckAllItem;
    QPushButton *m_rename;
    QTableView *m_table;
    bool m_busy = false;
    QString m_outOfDate;
    // Whether the pane has had its share of the splitter's height, given once when it first shows.
    bool m_placed = false;
};

// Puts a pane below the audit's result container in `tab`, the two sharing the height in a splitter.
NearMissPane *installNearMissPane(QVBoxLayout *tab, QWidget *container);

} // namespace zelvora
