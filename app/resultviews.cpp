#include "app/qkappdelegate.h"
#include "audit/resulttext.h"
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
    const int segment = romsResultControl()->selectedSegment();
    if (segment < 0 || segment >= kRomListCount)
        return;
    std::shared_ptr<const ResultLines> &lines = m_romsLines[std::size_t(segment)];
    if (!lines)
        lines = std::make_shared<const NameListLines>(romViewFormat(RomList(segment)), romsList(segment));
    romsResultView()->setLines(lines);
}

void QKAppDelegate::didClickVideosResultControl(QObject *)
{
    const int segment = videosResultControl()->selectedSegment();
    if (segment < 0 || segment >= kVideoListCount)
        return;
    std::shared_ptr<const ResultLines> &lines = m_videosLines[std::size_t(segment)];
    if (!lines)
        lines = std::make_shared<const NameListLines>(videoViewFormat(VideoList(segment)), videosList(segment));
    videosResultView()->setLines(lines);
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
