#include "app/aboutbox.h"

#include "version/version.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace zelvora {

AboutBox::AboutBox(const QString &homepage, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("About Zelvora Auditor"));

    const QIcon icon = parent ? parent->window()->windowIcon() : QApplication::windowIcon();
    auto *iconLabel = new QLabel;
    iconLabel->setPixmap(icon.pixmap(QSize(64, 64)));
    iconLabel->setAlignment(Qt::AlignTop);

    auto *text = new QLabel;
    text->setObjectName(u"aboutText"_s);
    text->setTextFormat(Qt::RichText);
    text->setText(tr("<h2>Zelvora Auditor</h2>"
                     "<p>Version %1</p>"
                     "<p>Finds the missing and unknown roms and preview videos<br>of a Zelvora directory.</p>"
                     "<p>Copyright © 2026 The Zelvora Auditor developers<br>"
                     "Released under the MIT licence.</p>"
                     "<p><a href=\"%2\">%3</a></p>")
                      .arg(versionText().toHtmlEscaped(), homepage.toHtmlEscaped(), homepage.toHtmlEscaped()));
    // Selectable, so a bug report can quote the version.
    text->setTextInteractionFlags(Qt::TextBrowserInteraction);
    text->setOpenExternalLinks(false);
    connect(text, &QLabel::linkActivated, this, &AboutBox::homepageClicked);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *row = new QHBoxLayout;
    row->addWidget(iconLabel);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace zelvora
