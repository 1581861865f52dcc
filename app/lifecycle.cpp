#include "app/qkappdelegate.h"
#include "platform/busyindicator.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>

namespace zelvora {

QKAppDelegate::QKAppDelegate(const PlatformServices &services, QObject *parent)
    : QObject(parent), m_settings(services.settings), m_openPanel(services.openPanel), m_alert(services.alert),
      m_urlOpener(services.urlOpener), m_confirm(services.confirm)
{
    // Two audits and any number of list-file searches may run at once; none should wait for another.
    m_workers.setMaxThreadCount(std::max(8, QThread::idealThreadCount()));
    for (QThreadPool &workers : m_extrasWorkers)
        workers.setMaxThreadCount(1);
}

QKAppDelegate::~QKAppDelegate()
{
    // A worker posts its results to this object; it must be done before the object goes. A running
    // audit is cancelled first, so that closing the window does not wait for a long walk.
    cancelAudits();
    stopExtras();
    m_workers.waitForDone();
    handover::acquire(&handover::workersDone);

    setZelvoraDirPathTextField(nullptr);
    setRomsListPathTextField(nullptr);
    setRomsResultView(nullptr);
    setRomsResultControl(nullptr);
    setProgressIndicator(nullptr);
    setProgressLabel(nullptr);
    setCheckAvailableRomVideosOnly(nullptr);
    setVideosResultControl(nullptr);
    setVideosResultView(nullptr);
    setTabView(nullptr);
    setRomsNotesLabel(nullptr);
    setVideosNotesLabel(nullptr);
}

void QKAppDelegate::applicationDidFinishLaunching(QObject *)
{
    for (SharedNameList *list : {&m_missingRoms, &m_validRoms, &m_unknownRoms, &m_missingVideos, &m_validVideos,
                                 &m_unknownVideos, &m_extraVideos})
        *list = SharedNameList();
    m_romsLines = {};
    m_videosLines = {};

    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(13.0);
    romsResultView()->setFont(font);
    videosResultView()->setFont(font);

    loadUserDefaults();
}

void QKAppDelegate::applicationWillTerminate(QObject *)
{
    cancelAudits();
    saveUserDefaults();
}

void QKAppDelegate::setZelvoraDirPathTextField(QLineEdit *field)
{
    m_zelvoraDirPathTextField = field;
}

void QKAppDelegate::setRomsListPathTextField(QLineEdit *field)
{
    m_romsListPathTextField = field;
    if (field)
        m_romsListPlaceholder = field->placeholderText();
}

void QKAppDelegate::setRomsResultView(ResultView *view)
{
    m_romsResultView = view;
}

void QKAppDelegate::setRomsResultControl(SegmentedControl *control)
{
    m_romsResultControl = control;
}

void QKAppDelegate::setVideosResultView(ResultView *view)
{
    m_videosResultView = view;
}

void QKAppDelegate::setVideosResultControl(SegmentedControl *control)
{
    m_videosResultControl = control;
}

void QKAppDelegate::setCheckAvailableRomVideosOnly(QCheckBox *checkBox)
{
    m_checkAvailableRomVideosOnly = checkBox;
}

void QKAppDelegate::setProgressLabel(QLabel *label)
{
    m_progressLabel = label;
}

void QKAppDelegate::setProgressIndicator(BusyIndicator *indicator)
{
    m_progressIndicator = indicator;
}

void QKAppDelegate::setTabView(QTabWidget *tabView)
{
    m_tabView = tabView;
}

void QKAppDelegate::setRomsNotesLabel(QLabel *label)
{
    m_romsNotesLabel = label;
}

void QKAppDelegate::setVideosNotesLabel(QLabel *label)
{
    m_videosNotesLabel = label;
}

} // namespace zelvora
