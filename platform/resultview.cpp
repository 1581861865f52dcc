#include "platform/resultview.h"

namespace zelvora {

ResultView::ResultView(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    document()->setDocumentMargin(10);
}

void ResultView::setString(const QString &text)
{
    m_string = text;
    setPlainText(text);
}

} // namespace zelvora
