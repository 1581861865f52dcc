// What an audit's tab shows of its result: the selected list through the filter, the counts on the
// segments, the strip of the lists' shares, and the caption of what produced it, out of date once
// the fields differ.
#include "app/auditpane.h"
#include "app/filelocations.h"
#include "app/namefilter.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"
#include "platform/summarystrip.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace zelvora {

void AuditPane::setResultWidgets(QLabel *caption, SummaryStrip *strip, QLineEdit *filter)
{
    m_widgets.caption = caption;
    m_widgets.strip = strip;
    m_widgets.filter = filter;
    if (caption)
        caption->setHidden(!m_stamp);
    if (strip)
        strip->setHidden(!m_stamp);
}

void AuditPane::showList()
{
    const int segment = m_widgets.control->selectedSegment();
    if (segment < 0 || segment >= int(m_lists.size()))
        return;
    const QStringView format = m_kind.formats[std::size_t(segment)];
    const SharedNameList &list = *m_lists[std::size_t(segment)];
    const QString text = m_widgets.filter ? m_widgets.filter->text().trimmed() : QString();
    const quint64 run = ++m_filterRun;

    if (text.isEmpty()) {
        std::shared_ptr<const NameListLines> &lines = m_lines[std::size_t(segment)];
        if (!lines)
            lines = std::make_shared<const NameListLines>(format, list);
        m_shown = lines;
        m_shownSegment = segment;
        m_widgets.view->setLines(lines);
        updateCaption();
        return;
    }
    // A narrowed text looks only at what the wider one let through.
    const NameList *names = &list.names();
    std::shared_ptr<const NamePositions> within;
    // The shown lines keep their list alive, so a list at the same address is the same list.
    if (m_matched && m_matchedList == names && m_shown && &m_shown->names().names() == names &&
        text.contains(m_matchedText, Qt::CaseInsensitive))
        within = m_matched;
    startOnPool(m_context.workers, [this, run, list, text, within] {
        auto matched = std::make_shared<const NamePositions>(filterNames(list.names(), text, within.get()));
        postToMainThread(this,
                         [this, run, names = &list.names(), text, matched] { didFilter(run, names, text, matched); });
    });
}

void AuditPane::didFilter(quint64 run, const NameList *list, const QString &text,
                          const std::shared_ptr<const NamePositions> &matched)
{
    if (run != m_filterRun)
        return;
    const int segment = m_widgets.control->selectedSegment();
    m_matchedList = list;
    m_matchedText = text;
    m_matched = matched;
    m_shownSegment = segment;
    m_shown = std::make_shared<const NameListLines>(m_kind.formats[std::size_t(segment)],
                                                    *m_lists[std::size_t(segment)], matched);
    m_widgets.view->setLines(m_shown);
    updateCaption();
    Q_EMIT filterApplied();
}

void AuditPane::showResults()
{
    // The last filter result views names that are gone.
    m_matchedList = nullptr;
    m_matched.reset();
    m_stamp = AuditStamp{m_runningInputs, QDateTime::currentDateTime(), m_clock.isValid() ? m_clock.elapsed() : 0,
                         m_kind.followsCheckBox};

    SegmentedControl *control = m_widgets.control;
    if (m_segmentLabels.isEmpty())
        m_segmentLabels = control->segmentLabels();
    QList<SummaryStrip::Part> parts;
    for (int segment = 0; segment < m_segmentLabels.size(); ++segment) {
        const qint64 count = m_lists[std::size_t(segment)]->size();
        control->setLabelForSegment(u"%1 (%2)"_s.arg(m_segmentLabels[segment], groupedCount(count)), segment);
        // A list that the check box left empty is not a share of this result.
        if (segment == m_kind.checkBoxSegment && !m_runningInputs.availableRomsOnly)
            continue;
        parts.append(SummaryStrip::Part{m_segmentLabels[segment], count, m_kind.colors[std::size_t(segment)]});
    }
    if (m_widgets.strip) {
        m_widgets.strip->setParts(parts);
        m_widgets.strip->setHidden(false);
    }
    updateCaption();
}

bool AuditPane::isOfOtherFolders() const
{
    const std::optional<AuditInputs> fields = m_context.fields();
    return !m_stamp || !fields || m_stamp->inputs.zelvoraDir != fields->zelvoraDir ||
           m_stamp->inputs.romsListPath != fields->romsListPath;
}

void AuditPane::updateCaption()
{
    QLabel *caption = m_widgets.caption;
    if (!caption || !m_stamp)
        return;
    const std::optional<AuditInputs> fields = m_context.fields();
    if (!fields)
        return;
    const bool outOfDate = zelvora::isOutOfDate(*m_stamp, *fields);
    const bool filtered = m_shown && m_shown->isFiltered();
    caption->setText(
        captionText(*m_stamp, outOfDate, filtered ? m_shown->shownCount() : -1, m_shown ? m_shown->names().size() : 0));
    caption->setToolTip(captionToolTip(*m_stamp, outOfDate));
    // The style sheet follows the property only once it is polished again.
    caption->setProperty("outOfDate", outOfDate);
    caption->style()->unpolish(caption);
    caption->style()->polish(caption);
    caption->setHidden(false);
    if (NearMissPane *nearMisses = m_widgets.nearMisses) {
        nearMisses->setOutOfDate(isOfOtherFolders()
                                     ? u"These pairs are of %1, not of the folders as they stand: audit again "
                                       "to rename"_s.arg(QDir::toNativeSeparators(m_stamp->inputs.zelvoraDir))
                                     : QString());
    }
}

std::optional<QString> AuditPane::filePathAt(qsizetype line) const
{
    if (!m_shown || !m_stamp)
        return std::nullopt;
    const qsizetype name = m_shown->nameIndexAt(line);
    if (name < 0)
        return std::nullopt;
    // Missing names were never found; every other list holds found files.
    const FoundFiles *found = m_shownSegment != m_kind.missingSegment ? m_audit.found() : nullptr;
    if (!found)
        return std::nullopt;
    return foundFilePath(m_stamp->inputs.zelvoraDir, *found, m_shown->names().at(name));
}

std::vector<ReportFile> AuditPane::reportFiles() const
{
    const auto names = [this](int segment) { return m_lists[std::size_t(segment)]->names(); };
    if (m_kind.audit == Audit::Roms)
        return romReportFiles(RomResults{names(0), names(1), names(2)});
    return videoReportFiles(VideoResults{names(0), names(1), names(2), names(3)});
}

} // namespace zelvora
