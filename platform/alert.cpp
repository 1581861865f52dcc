#include "platform/alert.h"

#include "audit/files/humantext.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace zelvora {

QtAlert::QtAlert(QWidget *parent) : m_parent(parent) {}

void QtAlert::runModal(const AlertMessage &message)
{
    QMessageBox box(m_parent);
    box.setIcon(message.style == AlertMessage::Style::Critical ? QMessageBox::Critical : QMessageBox::Warning);
    box.setText(shownLines(message.messageText));
    box.setInformativeText(shownLines(message.informativeText));
    if (!message.detail.isEmpty())
        box.setDetailedText(shownLines(message.detail));
    // Plain text: file names and reasons are shown as they are, never interpreted as markup.
    box.setTextFormat(Qt::PlainText);
    // Selectable, so a path, a reason or an address can be copied.
    const Qt::TextInteractionFlags selectable = Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;
    box.setTextInteractionFlags(selectable);
    if (auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextInteractionFlags(selectable);
    QPushButton *button = box.addButton(message.defaultButton, QMessageBox::AcceptRole);
    box.setDefaultButton(button);
    box.setEscapeButton(button);
    box.exec();
}

} // namespace zelvora
