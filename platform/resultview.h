#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace zelvora {

// A read-only view of one result text. It keeps the text exactly as given (CR LF line ends and
// all), which is what `string()` returns; the document only displays it.
class ResultView : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit ResultView(QWidget *parent = nullptr);

    // Replaces the whole text.
    void setString(const QString &text);
    QString string() const { return m_string; }

private:
    QString m_string;
};

} // namespace zelvora
