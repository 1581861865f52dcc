#include "platform/alert.h"

#include "audit/files/humantext.h"

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace zelvora {

void widenToLongestWord(QMessageBox &box)
{
    // Lines wrap between words: the box needs only its longest word, such as a path, on one line.
    int longest = 0;
    for (const QString &text : {box.text(), box.informativeText()})
        for (const QString &word : text.split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts))
            longest = std::max(longest, box.fontMetrics().horizontalAdvance(word));
    const QScreen *screen = box.screen();
    const int most = screen ? screen->availableGeometry().width() * 2 / 3 : 800;
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(std::min(longest, most), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

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
    widenToLongestWord(box);
    QPushButton *button = box.addButton(message.defaultButton, QMessageBox::AcceptRole);
    box.setDefaultButton(button);
    box.setEscapeButton(button);
    box.exec();
}

} // namespace zelvora
