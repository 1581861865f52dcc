#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QMessageBox;

namespace zelvora {

struct AlertMessage
{
    enum class Style { Critical, Warning };

    QString messageText;
    QString informativeText;
    QString defaultButton;
    Style style = Style::Critical;
    QString detail; // behind the box's details button; none when empty
};

// A modal message box with one button. The user's answer is not reported: there is only one.
class Alert
{
public:
    virtual ~Alert() = default;
    virtual void runModal(const AlertMessage &message) = 0;
};

// Widens a box to its longest word (at most two thirds of the screen), so that a path is not broken
// in the middle of a name. Call it once the texts are set.
void widenToLongestWord(QMessageBox &box);

class QtAlert final : public Alert
{
public:
    explicit QtAlert(QWidget *parent = nullptr);
    void setParent(QWidget *parent) { m_parent = parent; }

    void runModal(const AlertMessage &message) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace zelvora
