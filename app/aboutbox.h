#pragma once

#include <QDialog>

namespace zelvora {

// Help ▸ About: the version, the licence and the homepage. A click on the homepage link is reported,
// not followed, so the page opens the one way the Help menu opens it.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(const QString &homepage, QWidget *parent = nullptr);

Q_SIGNALS:
    void homepageClicked();
};

} // namespace zelvora
