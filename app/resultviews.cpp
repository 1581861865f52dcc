#include "app/qkappdelegate.h"
#include "audit/files/resulttext.h"
#include "platform/segmentedcontrol.h"

#include <QCheckBox>

namespace zelvora {

void QKAppDelegate::didClickRomsResultControl(QObject *)
{
    showList(Audit::Roms);
}

void QKAppDelegate::didClickVideosResultControl(QObject *)
{
    showList(Audit::Videos);
}

void QKAppDelegate::updateCaptions()
{
    m_roms.updateCaption();
    m_videos.updateCaption();
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
