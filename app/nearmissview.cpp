// The possible-matches table: its model over a near-miss pass, the sorted and filtered view the table
// shows, the pane around it and where the pane goes in an audit's tab.
#include "app/nearmissview.h"

#include "audit/files/resulttext.h"
#include "audit/nearmiss/nearmissrenames.h"

#include <QAction>
#include <QBoxLayout>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <string>
#include <unordered_map>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

// A typo is the likeliest to be another game after all: the user opts in.
bool isCheckedByDefault(NearMissReason reason)
{
    return isRenamable(reason) && reason != NearMissReason::Typo;
}

std::string pairKey(const NearMiss &pair)
{
    std::string key(pair.expected);
    key.append(1, '\0').append(pair.file.folder).append(1, '\0').append(pair.file.found);
    return key;
}

QString renameToolTip()
{
    return u"Give each checked file the name the list expects, in its own folder; "
           "File > Undo Last Renames puts them back"_s;
}

QString folderText(std::string_view folder)
{
    return folder.empty() ? u"."_s : nameText(folder);
}

// Enough of the ambiguous names to recognise them; the rest is counted.
constexpr std::size_t kAmbiguousShown = 20;

QString ambiguousToolTip(const NearMisses &nearMisses)
{
    QStringList lines;
    for (std::size_t i = 0; i < std::min(nearMisses.ambiguous.size(), kAmbiguousShown); ++i) {
        const AmbiguousNearMiss &name = nearMisses.ambiguous[i];
        QStringList files;
        for (const NearMissCandidate &candidate : name.candidates)
            files.append(nearMissPath(candidate));
        lines.append(u"%1: %2"_s.arg(nameText(name.expected), files.join(u", "_s)));
    }
    if (nearMisses.ambiguous.size() > kAmbiguousShown)
        lines.append(
            u"…and %1 more"_s.arg(QLocale().toString(qlonglong(nearMisses.ambiguous.size() - kAmbiguousShown))));
    return lines.join(u'\n');
}

} // namespace

void NearMissModel::setNearMisses(std::shared_ptr<const void> owner, std::shared_ptr<const NearMisses> nearMisses)
{
    // The user's own choices (a default check taken off, a typo checked) outlive the audit that follows
    // a rename, for the pairs still there.
    std::unordered_map<std::string, bool> chosen;
    for (std::size_t row = 0; m_nearMisses && row < m_checked.size(); ++row) {
        const NearMiss &pair = m_nearMisses->pairs[row];
        if (m_checked[row] != isCheckedByDefault(pair.file.reason))
            chosen.emplace(pairKey(pair), m_checked[row]);
    }
    beginResetModel();
    m_owner = std::move(owner);
    m_nearMisses = std::move(nearMisses);
    const std::size_t rows = m_nearMisses ? m_nearMisses->pairs.size() : 0;
    m_checked.assign(rows, false);
    m_checkedCount = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        const NearMiss &pair = m_nearMisses->pairs[row];
        m_checked[row] = isCheckedByDefault(pair.file.reason);
        if (const auto choice = chosen.find(pairKey(pair)); choice != chosen.end() && isRenamable(pair.file.reason))
            m_checked[row] = choice->second;
        m_checkedCount += m_checked[row] ? 1 : 0;
    }
    endResetModel();
    Q_EMIT checkedCountChanged(m_checkedCount);
}

bool NearMissModel::isCheckable(int row) const
{
    return isRenamable(m_nearMisses->pairs[std::size_t(row)].file.reason);
}

void NearMissModel::setChecked(const std::vector<int> &rows, bool checked)
{
    int first = -1;
    int last = -1;
    for (const int row : rows) {
        if (!isCheckable(row) || m_checked[std::size_t(row)] == checked)
            continue;
        m_checked[std::size_t(row)] = checked;
        m_checkedCount += checked ? 1 : -1;
        first = first < 0 ? row : std::min(first, row);
        last = std::max(last, row);
    }
    if (first < 0)
        return;
    // One signal for the lot: a view repaints once, whatever the number of rows.
    Q_EMIT dataChanged(index(first, Expected), index(last, Expected), {Qt::CheckStateRole});
    Q_EMIT checkedCountChanged(m_checkedCount);
}

std::vector<RenameRequest> NearMissModel::checkedRequests(const std::vector<int> &rows) const
{
    if (!m_nearMisses)
        return {};
    NearMisses checked;
    for (const int row : rows) {
        if (m_checked[std::size_t(row)])
            checked.pairs.push_back(m_nearMisses->pairs[std::size_t(row)]);
    }
    return renameRequests(checked, NearMissReasons().set());
}

int NearMissModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_checked.size());
}

int NearMissModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NearMissModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_nearMisses)
        return {};
    const NearMiss &pair = m_nearMisses->pairs[std::size_t(index.row())];
    const bool renamable = isRenamable(pair.file.reason);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Expected:
            return nameText(pair.expected);
        case Found:
            return nameText(pair.file.found);
        case Folder:
            return folderText(pair.file.folder);
        case Reason:
            return nearMissReasonId(pair.file.reason).toString();
        default:
            return {};
        }
    case Qt::CheckStateRole:
        if (index.column() == Expected && renamable)
            return m_checked[std::size_t(index.row())] ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::ToolTipRole:
        if (index.column() == Folder)
            return folderText(pair.file.folder);
        if (!renamable)
            return u"The file has the expected name in another format; a rename can't change its format."_s;
        if (pair.file.reason == NearMissReason::Typo)
            return u"One letter differs: check that it is the same game before renaming it."_s;
        return u"Rename \"%1\" to \"%2\""_s.arg(nameText(pair.file.found), nameText(pair.expected));
    case Qt::ForegroundRole:
        if (!renamable)
            return QPalette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    default:
        return {};
    }
}

bool NearMissModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != Expected || !isCheckable(index.row()))
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    if (m_checked[std::size_t(index.row())] == checked)
        return true;
    m_checked[std::size_t(index.row())] = checked;
    m_checkedCount += checked ? 1 : -1;
    Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
    Q_EMIT checkedCountChanged(m_checkedCount);
    return true;
}

Qt::ItemFlags NearMissModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Expected && isCheckable(index.row()))
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant NearMissModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Expected:
        return u"Expected name"_s;
    case Found:
        return u"Found file"_s;
    case Folder:
        return u"Folder"_s;
    case Reason:
        return u"Reason"_s;
    default:
        return {};
    }
}

NearMissFilter::NearMissFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
}

void NearMissFilter::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    invalidateRowsFilter();
}

bool NearMissFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_text.isEmpty())
        return true;
    const QAbstractItemModel *pairs = sourceModel();
    const auto holds = [&](int column) {
        return pairs->index(sourceRow, column, sourceParent).data().toString().contains(m_text, Qt::CaseInsensitive);
    };
    return holds(NearMissModel::Expected) || holds(NearMissModel::Found);
}

NearMissPane::NearMissPane(QWidget *parent)
    : QWidget(parent), m_model(new NearMissModel(this)), m_shown(new NearMissFilter(this)), m_count(new QLabel(this)),
      m_ambiguous(new QLabel(this)), m_checkAll(new QPushButton(u"Check All"_s, this)),
      m_uncheckAll(new QPushButton(u"Uncheck All"_s, this)), m_checkAllItem(new QAction(u"Check All"_s, this)),
      m_uncheckAllItem(new QAction(u"Uncheck All"_s, this)), m_rename(new QPushButton(u"Rename checked…"_s, this)),
      m_table(new QTableView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->setSpacing(6);
    auto *header = new QHBoxLayout;
    QFont bold = m_count->font();
    bold.setBold(true);
    m_count->setFont(bold);
    m_ambiguous->setForegroundRole(QPalette::PlaceholderText);
    m_rename->setToolTip(renameToolTip());
    m_rename->setAutoDefault(true);
    header->addWidget(m_count);
    header->addSpacing(8);
    header->addWidget(m_ambiguous);
    m_checkAll->setToolTip(u"Check every pair shown that can be renamed"_s);
    m_uncheckAll->setToolTip(u"Uncheck every pair shown"_s);
    header->addStretch();
    header->addWidget(m_checkAll);
    header->addWidget(m_uncheckAll);
    header->addSpacing(8);
    header->addWidget(m_rename);
    layout->addLayout(header);

    m_shown->setSourceModel(m_model);
    m_table->setModel(m_shown);
    // Tab leaves the table, as it leaves any other control; the arrows move between its cells.
    m_table->setTabKeyNavigation(false);
    // The engine's order (that of the list) until a column is clicked.
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_table->addAction(m_checkAllItem);
    m_table->addAction(m_uncheckAllItem);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    // A deep folder keeps both its top and the folder the file is in.
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setHighlightSections(false);
    columns->setSectionResizeMode(NearMissModel::Expected, QHeaderView::Stretch);
    columns->setSectionResizeMode(NearMissModel::Found, QHeaderView::Stretch);
    columns->setSectionResizeMode(NearMissModel::Folder, QHeaderView::Interactive);
    columns->setSectionResizeMode(NearMissModel::Reason, QHeaderView::Interactive);
    columns->resizeSection(NearMissModel::Folder, m_table->fontMetrics().horizontalAdvance(u"roms16BitConsoles/abc"_s));
    columns->resizeSection(NearMissModel::Reason,
                           m_table->fontMetrics().horizontalAdvance(u"forbidden-characters__"_s));
    layout->addWidget(m_table);
    // The header and a few rows, whatever the split.
    m_table->setMinimumHeight(m_table->horizontalHeader()->sizeHint().height() +
                              3 * m_table->verticalHeader()->defaultSectionSize() + 2 * m_table->frameWidth());

    connect(m_model, &NearMissModel::checkedCountChanged, this, &NearMissPane::updateButtons);
    connect(m_checkAll, &QPushButton::clicked, this, [this] { setShownChecked(true); });
    connect(m_uncheckAll, &QPushButton::clicked, this, [this] { setShownChecked(false); });
    connect(m_checkAllItem, &QAction::triggered, this, [this] { setShownChecked(true); });
    connect(m_uncheckAllItem, &QAction::triggered, this, [this] { setShownChecked(false); });
    connect(m_rename, &QPushButton::clicked, this, &NearMissPane::renameRequested);
    hide();
}

QSize NearMissPane::sizeHint() const
{
    constexpr int kRowsShown = 8;
    const int table = m_table->horizontalHeader()->sizeHint().height() +
                      kRowsShown * m_table->verticalHeader()->defaultSectionSize() + 2 * m_table->frameWidth();
    const QSize whole = QWidget::sizeHint();
    return {whole.width(), whole.height() - m_table->sizeHint().height() + table};
}

void NearMissPane::setNearMisses(std::shared_ptr<const void> owner, std::shared_ptr<const NearMisses> nearMisses)
{
    const std::size_t pairs = nearMisses ? nearMisses->pairs.size() : 0;
    const std::size_t ambiguous = nearMisses ? nearMisses->ambiguous.size() : 0;
    m_ambiguous->setText(ambiguous == 0 ? QString()
                                        : u"%1 more with several equal fits, left alone"_s.arg(
                                              QLocale().toString(qulonglong(ambiguous))));
    m_ambiguous->setToolTip(ambiguous == 0 ? QString() : ambiguousToolTip(*nearMisses));
    m_ambiguous->setHidden(ambiguous == 0);
    m_model->setNearMisses(std::move(owner), std::move(nearMisses));
    updateCount();
    updateButtons();
    setHidden(pairs == 0 && ambiguous == 0);
    // Shown late, the pane would get only its minimum height; later the user's split stays.
    auto *splitter = qobject_cast<QSplitter *>(parentWidget());
    if (!isHidden() && !m_placed && splitter && splitter->height() > 0) {
        m_placed = true;
        // After the splitter has taken in that the pane shows, which would undo an earlier split.
        // Room for eight pairs, while the result above keeps at least the larger part.
        QTimer::singleShot(0, splitter, [splitter, wanted = sizeHint().height()] {
            const int height = splitter->height() - splitter->handleWidth();
            const int pane = std::min(wanted, height * 11 / 20);
            splitter->setSizes({height - pane, pane});
        });
    }
}

void NearMissPane::setBusy(bool busy)
{
    m_busy = busy;
    updateButtons();
}

void NearMissPane::setFilterText(const QString &text)
{
    m_shown->setText(text);
    updateCount();
    updateButtons();
}

std::vector<int> NearMissPane::shownRows() const
{
    std::vector<int> rows;
    rows.reserve(std::size_t(m_shown->rowCount()));
    for (int row = 0; row < m_shown->rowCount(); ++row)
        rows.push_back(m_shown->mapToSource(m_shown->index(row, 0)).row());
    return rows;
}

void NearMissPane::updateCount()
{
    const QLocale locale;
    const int all = m_model->rowCount();
    const int shown = m_shown->rowCount();
    m_count->setText(m_shown->text().isEmpty()
                         ? u"Possible matches (%1)"_s.arg(locale.toString(all))
                         : u"Possible matches (showing %1 of %2)"_s.arg(locale.toString(shown), locale.toString(all)));
}

void NearMissPane::updateButtons()
{
    // What the buttons would do to the pairs shown.
    bool anyChecked = false;
    bool anyUnchecked = false;
    if (m_shown->text().isEmpty()) {
        anyChecked = m_model->checkedCount() > 0;
        for (int row = 0; row < m_model->rowCount() && !anyUnchecked; ++row)
            anyUnchecked = m_model->isCheckable(row) && !m_model->isChecked(row);
    } else {
        for (const int row : shownRows()) {
            anyChecked = anyChecked || m_model->isChecked(row);
            anyUnchecked = anyUnchecked || (m_model->isCheckable(row) && !m_model->isChecked(row));
        }
    }
    m_checkAll->setEnabled(anyUnchecked);
    m_checkAllItem->setEnabled(anyUnchecked);
    m_uncheckAll->setEnabled(anyChecked);
    m_uncheckAllItem->setEnabled(anyChecked);
    m_rename->setEnabled(!m_busy && anyChecked && m_outOfDate.isEmpty());
    m_rename->setToolTip(m_outOfDate.isEmpty() ? renameToolTip() : m_outOfDate);
}

void NearMissPane::setOutOfDate(const QString &why)
{
    m_outOfDate = why;
    updateButtons();
}

NearMissPane *installNearMissPane(QVBoxLayout *tab, QWidget *container)
{
    QWidget *parent = container->parentWidget();
    const int index = tab->indexOf(container);
    auto *splitter = new QSplitter(Qt::Vertical, parent);
    splitter->setChildrenCollapsible(false);
    tab->removeWidget(container);
    tab->insertWidget(index, splitter, 1);
    auto *pane = new NearMissPane(splitter);
    splitter->addWidget(container);
    splitter->addWidget(pane);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    return pane;
}

} // namespace zelvora
