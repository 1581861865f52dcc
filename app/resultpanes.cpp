// What each result view shows besides the names: the caption of what produced it, out of date once
// the fields differ, the counts on the segments and the strip of the lists' shares.
#include "app/qkappdelegate.h"
#include "platform/segmentedcontrol.h"
#include "platform/summarystrip.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

// Okabe–Ito colours, told apart with every common colour vision deficiency.
const QColor kValidColor(0x00, 0x9E, 0x73);   // bluish green
const QColor kMissingColor(0xD5, 0x5E, 0x00); // vermillion
const QColor kExtraColor(0xE6, 0x9F, 0x00);   // orange
const QColor kUnknownColor(0x56, 0xB4, 0xE9); // sky blue

} // namespace

void QKAppDelegate::setResultPane(Audit audit, QLabel *caption, SummaryStrip *strip, QLineEdit *filter)
{
    ResultPane &p = pane(audit);
    p.caption = caption;
    p.strip = strip;
    p.filter = filter;
    if (caption)
        caption->setHidden(!p.stamp);
    if (strip)
        strip->setHidden(!p.stamp);
}

SegmentedControl *QKAppDelegate::resultControl(Audit audit) const
{
    return audit == Audit::Roms ? romsResultControl() : videosResultControl();
}

std::shared_ptr<std::atomic<bool>> QKAppDelegate::didStartAudit(Audit audit, const AuditInputs &inputs)
{
    ResultPane &p = pane(audit);
    p.runningInputs = inputs;
    p.clock.start();
    p.cancel = std::make_shared<std::atomic<bool>>(false);
    // The other audit's "Cancelled" is old news once a new audit runs.
    const Audit other = audit == Audit::Roms ? Audit::Videos : Audit::Roms;
    if (!isAuditing(other))
        m_phases[std::size_t(other)].clear();
    return p.cancel;
}

void QKAppDelegate::cancelAudit(Audit audit)
{
    ResultPane &p = pane(audit);
    if (isAuditing(audit) && p.cancel)
        p.cancel->store(true, std::memory_order_relaxed);
}

void QKAppDelegate::cancelAudits()
{
    cancelAudit(Audit::Roms);
    cancelAudit(Audit::Videos);
}

bool QKAppDelegate::wasCancelled(Audit audit) const
{
    const ResultPane &p = m_panes[std::size_t(audit)];
    return p.cancel && p.cancel->load(std::memory_order_relaxed);
}

void QKAppDelegate::showCancelled(Audit audit)
{
    showPhase(audit, u"Cancelled"_s);
}

void QKAppDelegate::didShowResults(Audit audit)
{
    ResultPane &p = pane(audit);
    // The last filter result views names that are gone.
    p.matchedList = nullptr;
    p.matched.reset();
    p.stamp = AuditStamp{p.runningInputs, QDateTime::currentDateTime(), p.clock.isValid() ? p.clock.elapsed() : 0,
                         audit == Audit::Videos};

    SegmentedControl *control = resultControl(audit);
    QStringList &labels = m_segmentLabels[std::size_t(audit)];
    if (labels.isEmpty())
        labels = control->segmentLabels();
    const bool videos = audit == Audit::Videos;
    const std::array<QColor, 4> colors = videos ? std::array{kValidColor, kMissingColor, kExtraColor, kUnknownColor}
                                                : std::array{kValidColor, kMissingColor, kUnknownColor, QColor()};
    QList<SummaryStrip::Part> parts;
    for (int segment = 0; segment < labels.size(); ++segment) {
        const qint64 count = videos ? videosList(segment).size() : romsList(segment).size();
        control->setLabelForSegment(u"%1 (%2)"_s.arg(labels[segment], groupedCount(count)), segment);
        parts.append(SummaryStrip::Part{labels[segment], count, colors[std::size_t(segment)]});
    }
    if (p.strip) {
        p.strip->setParts(parts);
        p.strip->setHidden(false);
    }
    updateCaption(audit);
}

void QKAppDelegate::updateCaptions()
{
    updateCaption(Audit::Roms);
    updateCaption(Audit::Videos);
}

void QKAppDelegate::updateCaption(Audit audit)
{
    ResultPane &p = pane(audit);
    if (!p.caption || !p.stamp || !zelvoraDirPathTextField() || !romsListPathTextField() ||
        !checkAvailableRomVideosOnly())
        return;
    const bool outOfDate = isOutOfDate(*p.stamp, snapshotInputs());
    const bool filtered = p.shown && p.shown->isFiltered();
    p.caption->setText(
        captionText(*p.stamp, outOfDate, filtered ? p.shown->shownCount() : -1, p.shown ? p.shown->names().size() : 0));
    p.caption->setToolTip(captionToolTip(*p.stamp, outOfDate));
    // The style sheet follows the property only once it is polished again.
    p.caption->setProperty("outOfDate", outOfDate);
    p.caption->style()->unpolish(p.caption);
    p.caption->style()->polish(p.caption);
    p.caption->setHidden(false);
}

} // namespace zelvora
