#include "app/statusrow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace zelvora {

StatusRow::StatusRow(QWidget *parent)
    : QWidget(parent), m_text(new QLabel(this)), m_button(new QPushButton(u"Show Folder"_s, this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long path must not widen the window; the whole text stays in the tooltip.
    m_text->setMinimumWidth(0);
    m_text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_button->setToolTip(u"Open the folder in the file manager"_s);
    // Hidden, the button keeps its room: the row neither jumps nor shifts when it comes and goes.
    QSizePolicy buttonPolicy = m_button->sizePolicy();
    buttonPolicy.setRetainSizeWhenHidden(true);
    m_button->setSizePolicy(buttonPolicy);
    m_button->hide();
    layout->addWidget(m_text, 1);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, [this] { Q_EMIT folderRequested(m_folder); });
}

void StatusRow::report(const QString &text, const QString &folder)
{
    m_text->setText(text);
    m_text->setToolTip(text);
    m_folder = folder;
    m_button->setVisible(!folder.isEmpty());
}

QString StatusRow::text() const
{
    return m_text->text();
}

} // namespace zelvora
