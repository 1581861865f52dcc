#pragma once

#include "platform/alert.h"
#include "platform/confirm.h"
#include "platform/openpanel.h"
#include "platform/settingsstore.h"
#include "platform/urlopener.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <deque>
#include <gtest/gtest.h>

namespace zelvora::test {

// Holds its values in memory and records each write, in order.
class SettingsStoreDouble final : public SettingsStore
{
public:
    std::optional<QString> stringForKey(const QString &key) const override
    {
        const auto it = values.constFind(key);
        return it == values.cend() ? std::nullopt : std::optional<QString>(*it);
    }
    void setString(const QString &key, const QString &value) override
    {
        values.insert(key, value);
        writes.append(key);
    }
    void synchronize() override { writes.append(QStringLiteral("<synchronize>")); }

    QMap<QString, QString> values;
    QStringList writes;
};

// Told its answers in advance; a panel opened without an answer is a test fault, never a wait.
class OpenPanelDouble final : public OpenPanel
{
public:
    struct Answer
    {
        bool confirmed;
        QString path;
    };

    void willChoose(const QString &path) { answers.push_back({true, path}); }
    void willCancel() { answers.push_back({false, {}}); }

    std::optional<QString> runModal(const OpenPanelOptions &options) override
    {
        requests.append(options);
        if (answers.empty()) {
            ADD_FAILURE() << "an open panel was shown without a prepared answer";
            return std::nullopt;
        }
        const Answer answer = answers.front();
        answers.pop_front();
        if (!answer.confirmed)
            return std::nullopt;
        return answer.path;
    }

    std::deque<Answer> answers;
    QList<OpenPanelOptions> requests;
};

class AlertDouble final : public Alert
{
public:
    void runModal(const AlertMessage &message) override { shown.append(message); }

    QList<AlertMessage> shown;
};

// Told its answers in advance, like the open panel.
class ConfirmDouble final : public Confirm
{
public:
    void willAnswer(bool confirmed) { answers.push_back(confirmed); }

    bool runModal(const ConfirmMessage &message) override
    {
        asked.append(message);
        if (answers.empty()) {
            ADD_FAILURE() << "a question was asked without a prepared answer: " << message.messageText.toStdString();
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<bool> answers;
    QList<ConfirmMessage> asked;
};

class UrlOpenerDouble final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return opens;
    }

    bool opens = true; // false: as if no browser could be found
    QList<QUrl> opened;
};

} // namespace zelvora::test
