#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace zelvora {

struct ConfirmMessage
{
    QString messageText;
    QString informativeText;
    QString confirmButton; // e.g. "Replace"
    QString cancelButton;  // the default: a stray Return must not destroy anything
};

// A modal question with two answers.
class Confirm
{
public:
    virtual ~Confirm() = default;
    // True when the user chose the confirming button.
    virtual bool runModal(const ConfirmMessage &message) = 0;
};

class QtConfirm final : public Confirm
{
public:
    explicit QtConfirm(QWidget *parent = nullptr);

    bool runModal(const ConfirmMessage &message) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace zelvora
