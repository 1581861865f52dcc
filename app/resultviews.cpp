#include "app/qkappdelegate.h"
#include "audit/resulttext.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QCheckBox>

namespace zelvora {

// Segment order is the order of the engine's list enums: valid, missing, (extra,) unknown.
const QStringList &QKAppDelegate::romsList(int segment) const
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

const QStringList &QKAppDelegate::videosList(int segment) const
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

void QKAppDelegate::didClickRomsResultControl(QObject *)
{
    const int segment = romsResultControl()->selectedSegment();
    if (segment < 0 || segment >= kRomListCount)
        return;
    QString &text = m_romsTexts[std::size_t(segment)];
    if (text.isNull())
        text = formatResultText(romViewFormat(RomList(segment)), romsList(segment));
    romsResultView()->setString(text);
}

void QKAppDelegate::didClickVideosResultControl(QObject *)
{
    const int segment = videosResultControl()->selectedSegment();
    if (segment < 0 || segment >= kVideoListCount)
        return;
    QString &text = m_videosTexts[std::size_t(segment)];
    if (text.isNull())
        text = formatResultText(videoViewFormat(VideoList(segment)), videosList(segment));
    videosResultView()->setString(text);
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
