#pragma once

// Beside each audit's lists: a "Problems (N)" toggle that swaps the result view for a table of what the
// audit could not see or should not trust, and the line under the results that says what changed since
// the previous audit of the same inputs, which opens the four lists of changes.

#include "audit/checks/problems.h"
#include "audit/files/history.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <vector>

class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QVBoxLayout;

namespace zelvora {

class ResultView;
class SegmentedControl;

using SharedProblems = std::shared_ptr<const std::vector<Problem>>;

// Kind, path and detail of each problem, as the engine ordered them.
class ProblemsModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;
    void setProblems(SharedProblems problems);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    SharedProblems m_problems;
};

// "Since 3 Dec: 12 now valid, 2 newly missing, 40 new unknown"; "Since 3 Dec: no changes".
QString changesSummary(const AuditChanges &changes, const QDateTime &now);

class ProblemsPane final : public QObject
{
    Q_OBJECT

public:
    // The toggle goes beside the segments, the table into the result view's frame, the changes line
    // under the notes line.
    struct Places
    {
        QVBoxLayout *tab = nullptr;
        QHBoxLayout *choice = nullptr;
        QFrame *container = nullptr;
        ResultView *view = nullptr;
        SegmentedControl *control = nullptr;
        QLineEdit *filter = nullptr;
        QLabel *notes = nullptr;
    };
    ProblemsPane(const Places &places, QObject *parent);

    void setProblems(SharedProblems problems);
    // A new result's problems and changes are being found: the lists show, the toggle says it waits
    // and the changes line is empty.
    void setPending();
    void setChanges(const std::optional<AuditChanges> &changes);
    // While the audit runs the lists are shown again (its busy look covers them) and the toggle waits.
    void setRunning(bool running);
    void showProblems(bool shown);
    // A bar above the table, shown with it (the rom audit's Verify Archives).
    void setTableBar(QWidget *bar);
    // The lists of changes, in a window of their own.
    void openChanges();

    QPushButton *toggle() const { return m_toggle; }
    QTableView *table() const { return m_table; }
    QLabel *changesLabel() const { return m_changesLabel; }
    QDialog *changesDialog() const { return m_changesDialog; }

private:
    Places m_places;
    QPushButton *m_toggle = nullptr;
    QTableView *m_table = nullptr;
    ProblemsModel *m_model = nullptr;
    QLabel *m_changesLabel = nullptr;
    QPointer<QWidget> m_tableBar;
    std::optional<AuditChanges> m_changes;
    bool m_hasProblems = false;
    bool m_running = false;
    // The segment selected before the problems were shown; none is while they are.
    int m_listSegment = -1;
    QPointer<QDialog> m_changesDialog;
};

} // namespace zelvora
