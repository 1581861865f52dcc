// The problems table and its toggle, the changes line and the window of the changes' lists.
#include "app/problemsview.h"

#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

enum Column { KindColumn, PathColumn, DetailColumn, ColumnCount };

QString sinceText(const QDateTime &since, const QDateTime &now)
{
    const QDateTime local = since.toLocalTime();
    if (local.date() == now.toLocalTime().date())
        return local.toString(u"HH:mm"_s);
    return local.toString(local.date().year() == now.toLocalTime().date().year() ? u"d MMM"_s : u"d MMM yyyy"_s);
}

struct ChangeList
{
    QString label;
    const std::vector<QByteArray> *names;
};

std::array<ChangeList, 4> changeLists(const AuditChanges &changes)
{
    return {ChangeList{u"now valid"_s, &changes.nowValid}, ChangeList{u"newly missing"_s, &changes.newlyMissing},
            ChangeList{u"new unknown"_s, &changes.newUnknown}, ChangeList{u"unknown gone"_s, &changes.unknownGone}};
}

} // namespace

void ProblemsModel::setProblems(SharedProblems problems)
{
    beginResetModel();
    m_problems = std::move(problems);
    endResetModel();
}

int ProblemsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_problems ? 0 : int(m_problems->size());
}

int ProblemsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProblemsModel::data(const QModelIndex &index, int role) const
{
    if (!m_problems || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const Problem &problem = (*m_problems)[std::size_t(index.row())];
    switch (index.column()) {
    case KindColumn:
        return problemKindId(problem.kind).toString();
    case PathColumn:
        return QFile::decodeName(problem.path);
    default:
        return problem.detail;
    }
}

QVariant ProblemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const std::array<QString, ColumnCount> kTitles{u"Kind"_s, u"Path"_s, u"Detail"_s};
    return kTitles.at(std::size_t(section));
}

QString changesSummary(const AuditChanges &changes, const QDateTime &now)
{
    QStringList parts;
    for (const ChangeList &list : changeLists(changes)) {
        if (!list.names->empty())
            parts.append(u"%1 %2"_s.arg(list.names->size()).arg(list.label));
    }
    return u"Since %1: %2"_s.arg(sinceText(changes.since, now),
                                 parts.isEmpty() ? u"no changes"_s : parts.join(u", "_s));
}

ProblemsPane::ProblemsPane(const Places &places, QObject *parent)
    : QObject(parent), m_places(places), m_toggle(new QPushButton(u"Problems"_s, places.container->parentWidget())),
      m_table(new QTableView(places.container)), m_model(new ProblemsModel(this)),
      m_changesLabel(new QLabel(places.container->parentWidget()))
{
    m_toggle->setCheckable(true);
    m_toggle->setEnabled(false);
    m_toggle->setToolTip(u"Show what the audit could not see or should not trust"_s);
    // Right of the segments, as one more way to look at the result.
    places.choice->insertWidget(places.choice->indexOf(places.control) + 1, m_toggle);

    m_table->setModel(m_model);
    m_table->setTabKeyNavigation(false);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Rows as dense as a list's lines.
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->hide();
    places.container->layout()->addWidget(m_table);

    m_changesLabel->setTextFormat(Qt::RichText);
    m_changesLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_changesLabel->hide();
    places.tab->insertWidget(places.tab->indexOf(places.notes) + 1, m_changesLabel);

    connect(m_toggle, &QPushButton::toggled, this, &ProblemsPane::showProblems);
    // Choosing a list shows it.
    connect(places.control, &SegmentedControl::activated, this, [this] { m_toggle->setChecked(false); });
    connect(m_changesLabel, &QLabel::linkActivated, this, &ProblemsPane::openChanges);
}

void ProblemsPane::setProblems(SharedProblems problems)
{
    const std::size_t count = problems ? problems->size() : 0;
    m_hasProblems = problems != nullptr;
    m_toggle->setText(m_hasProblems ? u"Problems (%1)"_s.arg(QLocale().toString(qulonglong(count))) : u"Problems"_s);
    m_toggle->setToolTip(u"Show what the audit could not see or should not trust"_s);
    m_toggle->setEnabled(!m_running && m_hasProblems);
    m_model->setProblems(std::move(problems));
    m_table->resizeColumnToContents(KindColumn);
    m_table->resizeColumnToContents(PathColumn);
    // The details need the room more than a long path, which its tooltip shows whole.
    constexpr int kWidestPath = 360;
    if (m_table->columnWidth(PathColumn) > kWidestPath)
        m_table->setColumnWidth(PathColumn, kWidestPath);
}

void ProblemsPane::setPending()
{
    setProblems(nullptr);
    m_toggle->setChecked(false);
    m_toggle->setText(u"Problems (…)"_s);
    m_toggle->setToolTip(u"Looking for problems…"_s);
    setChanges(std::nullopt);
}

void ProblemsPane::setChanges(const std::optional<AuditChanges> &changes)
{
    m_changes = changes;
    if (!changes) {
        m_changesLabel->hide();
        return;
    }
    const QString summary = changesSummary(*changes, QDateTime::currentDateTime()).toHtmlEscaped();
    m_changesLabel->setText(changes->isEmpty() ? summary : u"<a href=\"#changes\">%1</a>"_s.arg(summary));
    m_changesLabel->setToolTip(
        u"Compared with the audit of %1"_s.arg(QLocale().toString(changes->since.toLocalTime(), QLocale::LongFormat)));
    m_changesLabel->show();
}

void ProblemsPane::setRunning(bool running)
{
    m_running = running;
    if (running)
        m_toggle->setChecked(false);
    m_toggle->setEnabled(!running && m_hasProblems);
}

void ProblemsPane::showProblems(bool shown)
{
    m_toggle->setChecked(shown);
    SegmentedControl *control = m_places.control;
    if (shown && control->selectedSegment() >= 0) {
        // No list is shown, so no segment may look chosen.
        m_listSegment = control->selectedSegment();
        control->setSelectedSegment(-1);
    } else if (!shown && control->selectedSegment() < 0 && m_listSegment >= 0) {
        // Left by the toggle (a click on a segment has selected that one): the list comes back with its
        // segment, or the first one if its segment was disabled meanwhile.
        const int segment = control->isEnabledForSegment(m_listSegment) ? m_listSegment : 0;
        control->setSelectedSegment(segment);
        if (segment != m_listSegment)
            Q_EMIT control->activated(segment);
    }
    m_table->setVisible(shown);
    if (m_tableBar)
        m_tableBar->setVisible(shown);
    m_places.view->setVisible(!shown);
    m_places.filter->setEnabled(!shown);
}

void ProblemsPane::setTableBar(QWidget *bar)
{
    m_tableBar = bar;
    auto *layout = qobject_cast<QBoxLayout *>(m_places.container->layout());
    if (layout)
        layout->insertWidget(layout->indexOf(m_table), bar);
    else
        m_places.container->layout()->addWidget(bar);
    bar->setVisible(m_table->isVisible());
}

void ProblemsPane::openChanges()
{
    if (!m_changes)
        return;
    if (m_changesDialog)
        m_changesDialog->close();
    auto *dialog = new QDialog(m_toggle->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(
        u"Changes since %1"_s.arg(QLocale().toString(m_changes->since.toLocalTime(), QLocale::ShortFormat)));
    auto *layout = new QVBoxLayout(dialog);
    auto *tabs = new QTabWidget(dialog);
    // All four lists in sight: the dialog is as wide as their tabs.
    tabs->setUsesScrollButtons(false);
    int firstFilled = -1;
    for (const ChangeList &list : changeLists(*m_changes)) {
        auto *names = new QListWidget(tabs);
        names->setUniformItemSizes(true);
        for (const QByteArray &name : *list.names)
            names->addItem(QString::fromUtf8(name));
        QString title = list.label;
        title[0] = title[0].toUpper();
        const int index = tabs->addTab(names, u"%1 (%2)"_s.arg(title).arg(list.names->size()));
        // The first list with names in it is shown.
        if (firstFilled < 0 && !list.names->empty())
            firstFilled = index;
    }
    tabs->setCurrentIndex(std::max(firstFilled, 0));
    layout->addWidget(tabs);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog->resize(520, 420);
    m_changesDialog = dialog;
    dialog->open();
}

} // namespace zelvora
