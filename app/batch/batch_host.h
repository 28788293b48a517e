// The generation run's host for the command line: the selection list comes from the
// arguments, messages go to stderr, questions are answered by an option.
#pragma once

#include "generate/generation_host.h"
#include "generate/photo_list.h"
#include "platform/dialogs.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <vector>

namespace tav {

// A row of the command line or of a list file (--list).
using BatchRow = PhotoRow;

// Prints messages to a stream; answers every yes/no question with `answer`.
class StreamDialogs final : public Dialogs {
public:
    StreamDialogs(std::FILE* out, bool answer) : out_(out), answer_(answer) {}
    void message(QWidget*, const QString& text, const QString& title, MessageIcon) override;
    bool askYesNo(QWidget*, const QString& text, const QString& title) override;
    QString browseForFolder(QWidget*, const QString&, const QString& initial) override {
        return initial;
    }
    // Without a person nothing is chosen.
    QString chooseFile(QWidget*, FileChoice, const QString&, const QString&,
                       const QString&) override {
        return QString();
    }
    // Every message shown, in order (text only).
    QStringList messages;

private:
    std::FILE* out_;
    bool answer_;
};

// From now on SIGINT and SIGTERM ask the run to stop at its next step (which leaves
// the target and the photos as they were) instead of ending the process at once.
void catchStopSignals();

// Message-box line breaks ("\r", "\r\n") as terminal line breaks.
QString terminalText(const QString& text);

class BatchHost final : public GenerationHost {
public:
    BatchHost(std::vector<BatchRow> rows, bool answerYes, std::FILE* err);

    int rowCount() const override { return static_cast<int>(rows_.size()); }
    QString rowPath(int row) const override { return rows_.at(static_cast<size_t>(row)).path; }
    QString rowRotation(int row) const override {
        return rows_.at(static_cast<size_t>(row)).rotation;
    }
    QString rowDisplayName(int row) const override {
        return rows_.at(static_cast<size_t>(row)).displayName;
    }
    QString rowNote(int row) const override { return rows_.at(static_cast<size_t>(row)).note; }
    void setRowPath(int row, const QString& path) override;
    void makeRowCurrent(int) override {}
    void processEvents() override {}
    // True once SIGINT or SIGTERM arrived (see catchStopSignals()).
    bool stopRequested() const override;
    Dialogs& dialogs() override { return dialogs_; }
    void setBusyPointer(bool) override {}
    void setStartEnabled(bool) override {}
    void setShowWorkbookEnabled(bool) override {}
    void setProgress(int done, int total) override;
    void setResultWorkbookPath(const QString& path) override { resultPath_ = path; }
    void writeSettings() override {}
    void endProgram() override {}

    const QString& resultPath() const { return resultPath_; }

private:
    std::vector<BatchRow> rows_;
    StreamDialogs dialogs_;
    std::FILE* err_;
    QString resultPath_;
};

} // namespace tav
