#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QThreadPool;

namespace zelvora {

class OpenPanel;
class QKAppDelegate;

// Choosing the two paths: the open panels, and the search for the supported roms list below a newly
// chosen Zelvora directory, on a worker. It reaches the path fields through the controller's outlets.
class PathChooser : public QObject
{
    Q_OBJECT

public:
    PathChooser(QKAppDelegate &controller, OpenPanel &openPanel, QThreadPool &workers)
        : m_controller(controller), m_openPanel(openPanel), m_workers(workers)
    {}

    // The list field's own hint, given back once a list is found or chosen.
    void setListPlaceholder(const QString &text) { m_listPlaceholder = text; }
    void selectZelvoraDirectory();
    void selectRomsListFile();
    void chooseZelvoraDirectory(const QString &directory);
    void chooseRomsListFile(const QString &file);
    void findRomListFile(const QString &directory, quint64 search); // worker thread

Q_SIGNALS:
    // Sent on the main thread when a search for the supported roms list has ended, found or not.
    void searchFinished();

private:
    void didFindRomListFile(const std::optional<QString> &path, quint64 search);

    QKAppDelegate &m_controller;
    OpenPanel &m_openPanel;
    QThreadPool &m_workers;
    QString m_listPlaceholder;
    // Numbers the list-file searches: only the latest choice may fill the list field.
    quint64 m_search = 0;
};

} // namespace zelvora
