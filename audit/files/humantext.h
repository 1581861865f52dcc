#pragma once

// Every text a person reads (printed, shown in the window, written to a report or an alert) is made of
// the program's own words and of texts from outside: file and folder names, list lines, link targets,
// system messages. The outside ones pass through one rule, here: every control character (C0, DEL, C1,
// U+2028, U+2029) is written as a visible escape "\u{XXXX}", so that no name can add, end or forge a
// line, nor reach a terminal as a command; bytes that are not UTF-8 show as U+FFFD. message() applies
// the rule to every argument that is not marked as the program's own, so a new text cannot forget it.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <concepts>
#include <initializer_list>
#include <string_view>

namespace zelvora {

// A name kept as UTF-8 bytes, as texts show it.
QString nameText(std::string_view name);
void appendNameText(QByteArray &out, std::string_view name);
// A text from outside, as texts show it.
QString shownText(QStringView text);
// A text of several lines, each through the rule, its line breaks (LF) kept: the last guard of every
// place that shows a whole text (the command line's messages, the window's alerts and questions).
QString shownLines(QStringView text);
// A file name or path kept as bytes (not always UTF-8), as texts show it.
QString shownPath(const QByteArray &path);

// One argument of a message: a text from outside (escaped), a number, or the program's own words.
class MessageArg
{
public:
    // NOLINTBEGIN(google-explicit-constructor): arguments are texts and numbers, as QString::arg takes them
    MessageArg(QStringView text) : m_text(shownText(text)) {}
    MessageArg(const QString &text) : m_text(shownText(text)) {}
    MessageArg(const char16_t *text) : m_text(shownText(QStringView(text))) {}
    MessageArg(std::string_view name) : m_text(nameText(name)) {}
    MessageArg(const QByteArray &path) : m_text(shownPath(path)) {}
    template <std::integral Number> MessageArg(Number number) : m_text(QString::number(number)) {}
    // NOLINTEND(google-explicit-constructor)

    // Words of the program's own (a kind, a reason, a count already written out), taken as they are.
    static MessageArg own(QString words)
    {
        MessageArg arg(0);
        arg.m_text = std::move(words);
        return arg;
    }

    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// `pattern` (the program's own words) with %1 to %9 replaced by `args`.
QString message(QStringView pattern, std::initializer_list<MessageArg> args);

// "2.1 GB": decimal units, as disks are sold.
QString byteSizeText(qint64 bytes);

// A path in double quotes, as messages name files and folders.
QString quotedPath(const QString &path);

} // namespace zelvora
