#include "platform/confirm.h"

#include "audit/files/humantext.h"
#include "platform/alert.h"

#include <QMessageBox>
#include <QPushButton>

namespace zelvora {

QtConfirm::QtConfirm(QWidget *parent) : m_parent(parent) {}

bool QtConfirm::runModal(const ConfirmMessage &message)
{
    QMessageBox box(m_parent);
    box.setIcon(QMessageBox::Question);
    box.setTextFormat(Qt::PlainText);
    box.setText(shownLines(message.messageText));
    box.setInformativeText(shownLines(message.informativeText));
    widenToLongestWord(box);
    QPushButton *confirm = box.addButton(message.confirmButton, QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(message.cancelButton, QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == confirm;
}

} // namespace zelvora
