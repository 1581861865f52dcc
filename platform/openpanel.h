#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

namespace zelvora {

struct OpenPanelOptions
{
    bool canChooseDirectories = false;
    bool canChooseFiles = true;
    bool allowsMultipleSelection = false;
    QString title;
    QString prompt; // the confirming button's text
    // Where the panel opens (empty: its default), and the file selected in it.
    QString directory;
    QString selectedFile;
    // A file to write: any name may be typed, and the panel asks before it replaces one.
    bool savesFile = false;
    // Such as "CSV files (*.csv)"; the first is chosen.
    QStringList nameFilters = {};
    // A line under the panel's fields, on what will be written.
    QString note = {};
};

// A modal panel that lets the user pick one existing file or directory, or name a file to write.
class OpenPanel
{
public:
    virtual ~OpenPanel() = default;
    // The picked item's plain local path; empty when the user cancelled.
    virtual std::optional<QString> runModal(const OpenPanelOptions &options) = 0;
};

class QtOpenPanel final : public OpenPanel
{
public:
    explicit QtOpenPanel(QWidget *parent = nullptr);
    void setParent(QWidget *parent) { m_parent = parent; }

    std::optional<QString> runModal(const OpenPanelOptions &options) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace zelvora
