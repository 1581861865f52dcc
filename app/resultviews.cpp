#include "app/namefilter.h"
#include "app/qkappdelegate.h"
#include "audit/files/resulttext.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QCheckBox>

namespace zelvora {

// Segment order is the order of the engine's list enums: valid, missing, (extra,) unknown.
const SharedNameList &QKAppDelegate::romsList(int segment) const
{
    switch (RomList(segment)) {
    case RomList::Valid:
        return m_validRoms;
    case RomList::Missing:
        return m_missingRoms;
    case RomList::Unknown:
        break;
    }
    return m_unknownRoms;
}

const SharedNameList &QKAppDelegate::videosList(int segment) const
{
    switch (VideoList(segment)) {
    case VideoList::Valid:
        return m_validVideos;
    case VideoList::Missing:
        return m_missingVideos;
    case VideoList::Extra:
        return m_extraVideos;
    case VideoList::Unknown:
        break;
    }
    return m_unknownVideos;
}

RomResults QKAppDelegate::romResults() const
{
    return RomResults{m_validRoms.names(), m_missingRoms.names(), m_unknownRoms.names()};
}

VideoResults QKAppDelegate::videoResults() const
{
    return VideoResults{m_validVideos.names(), m_missingVideos.names(), m_extraVideos.names(), m_unknownVideos.names()};
}

void QKAppDelegate::didClickRomsResultControl(QObject *)
{
    showList(Audit::Roms);
}

void QKAppDelegate::didClickVideosResultControl(QObject *)
{
    showList(Audit::Videos);
}

void QKAppDelegate::showList(Audit audit)
{
    const bool roms = audit == Audit::Roms;
    const int segment = resultControl(audit)->selectedSegment();
    if (segment < 0 || segment >= (roms ? kRomListCount : kVideoListCount))
        return;
    ResultPane &p = pane(audit);
    const QStringView format = roms ? romViewFormat(RomList(segment)) : videoViewFormat(VideoList(segment));
    const SharedNameList &list = roms ? romsList(segment) : videosList(segment);
    ResultView *view = roms ? romsResultView() : videosResultView();
    const QString text = p.filter ? p.filter->text().trimmed() : QString();
    const quint64 run = ++p.filterRun;

    if (text.isEmpty()) {
        std::shared_ptr<const NameListLines> &lines =
            roms ? m_romsLines[std::size_t(segment)] : m_videosLines[std::size_t(segment)];
        if (!lines)
            lines = std::make_shared<const NameListLines>(format, list);
        p.shown = lines;
        p.shownSegment = segment;
        view->setLines(lines);
        updateCaption(audit);
        return;
    }
    // A narrowed text looks only at what the wider one let through.
    const NameList *names = &list.names();
    std::shared_ptr<const NamePositions> within;
    // The shown lines keep their list alive, so a list at the same address is the same list.
    if (p.matched && p.matchedList == names && p.shown && &p.shown->names().names() == names &&
        text.contains(p.matchedText, Qt::CaseInsensitive))
        within = p.matched;
    startInBackground([this, audit, run, list, text, within, format = format.toString()] {
        auto matched = std::make_shared<const NamePositions>(filterNames(list.names(), text, within.get()));
        postToMainThread(this, [this, audit, run, names = &list.names(), text, matched] {
            didFilter(audit, run, names, text, matched);
        });
    });
}

void QKAppDelegate::didFilter(Audit audit, quint64 run, const NameList *list, const QString &text,
                              const std::shared_ptr<const NamePositions> &matched)
{
    ResultPane &p = pane(audit);
    if (run != p.filterRun)
        return;
    const bool roms = audit == Audit::Roms;
    const int segment = resultControl(audit)->selectedSegment();
    p.matchedList = list;
    p.matchedText = text;
    p.matched = matched;
    const SharedNameList &names = roms ? romsList(segment) : videosList(segment);
    p.shownSegment = segment;
    p.shown = std::make_shared<const NameListLines>(
        roms ? romViewFormat(RomList(segment)) : videoViewFormat(VideoList(segment)), names, matched);
    (roms ? romsResultView() : videosResultView())->setLines(p.shown);
    updateCaption(audit);
    Q_EMIT filterApplied(int(audit));
}

void QKAppDelegate::didClickCheckAvailableRomVideosOnly(QObject *)
{
    constexpr int extraSegment = int(VideoList::Extra);
    if (checkAvailableRomVideosOnly()->isChecked()) {
        videosResultControl()->setEnabledForSegment(true, extraSegment);
        return;
    }
    videosResultControl()->setEnabledForSegment(false, extraSegment);
    if (videosResultControl()->selectedSegment() == extraSegment) {
        videosResultControl()->setSelectedSegment(int(VideoList::Valid));
        didClickVideosResultControl(videosResultControl());
    }
}

} // namespace zelvora
