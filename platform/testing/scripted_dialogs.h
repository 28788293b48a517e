// Test double for tav::Dialogs: records every message and question, and answers
// questions, folder browsers and file dialogs from queues filled by the test.
#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QString>

#include <deque>

namespace tav::testing {

class ScriptedDialogs final : public Dialogs {
public:
    struct Shown {
        enum Kind { Message, Question, FolderBrowser, FileDialog } kind;
        QString text;
        QString title;
        MessageIcon icon = MessageIcon::None;
    };

    void message(QWidget*, const QString& text, const QString& title, MessageIcon icon) override {
        shown.push_back({Shown::Message, text, title, icon});
    }

    // Answers from `yesNoAnswers` in order; `defaultAnswer` once the queue is empty.
    bool askYesNo(QWidget*, const QString& text, const QString& title) override {
        shown.push_back({Shown::Question, text, title, MessageIcon::None});
        if (yesNoAnswers.empty()) {
            return defaultAnswer;
        }
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }

    // Answers from `folderAnswers`; an empty queue behaves like Cancel.
    QString browseForFolder(QWidget*, const QString& prompt, const QString& initial) override {
        shown.push_back({Shown::FolderBrowser, prompt, QString(), MessageIcon::None});
        browseInitialFolders.push_back(initial);
        if (folderAnswers.empty()) {
            return initial;
        }
        QString answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }

    // Answers from `fileAnswers`; an empty queue behaves like Cancel ("").
    QString chooseFile(QWidget*, FileChoice, const QString& title, const QString&,
                       const QString&) override {
        shown.push_back({Shown::FileDialog, title, QString(), MessageIcon::None});
        if (fileAnswers.empty()) {
            return QString();
        }
        QString answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }

    int messageCount() const {
        int n = 0;
        for (const Shown& s : shown) {
            n += s.kind == Shown::Message ? 1 : 0;
        }
        return n;
    }

    QList<Shown> shown;
    std::deque<bool> yesNoAnswers;
    bool defaultAnswer = true;
    std::deque<QString> folderAnswers;
    std::deque<QString> fileAnswers;
    QStringList browseInitialFolders;
};

} // namespace tav::testing
