#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace zelvora {

// The row under the tabs that says what the last save, export, rename or undo did, with a button to
// the folder it wrote in: the files are where the user can see them, not only where they were asked for.
class StatusRow : public QWidget
{
    Q_OBJECT

public:
    explicit StatusRow(QWidget *parent = nullptr);

    // An empty `folder` hides the button.
    void report(const QString &text, const QString &folder);
    QString text() const;
    QString folder() const { return m_folder; }
    QPushButton *folderButton() const { return m_button; }

Q_SIGNALS:
    void folderRequested(const QString &folder);

private:
    QLabel *m_text;
    QPushButton *m_button;
    QString m_folder;
};

} // namespace zelvora
