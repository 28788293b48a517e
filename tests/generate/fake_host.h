// A GenerationHost without windows for the tests: the selection list is a vector,
// dialogs are scripted, and everything the run does to the host is recorded.
#pragma once

#include "generate/generation_host.h"
#include "platform/testing/scripted_dialogs.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tav::testing {

struct FakeRow {
    QString path;
    QString rotation = QStringLiteral("  0");
    QString displayName = QStringLiteral("ファイル名と同じ");
    QString note;
};

class FakeHost final : public GenerationHost {
public:
    int rowCount() const override { return static_cast<int>(rows.size()); }
    QString rowPath(int row) const override { return rows.at(static_cast<size_t>(row)).path; }
    QString rowRotation(int row) const override {
        return rows.at(static_cast<size_t>(row)).rotation;
    }
    QString rowDisplayName(int row) const override {
        return rows.at(static_cast<size_t>(row)).displayName;
    }
    QString rowNote(int row) const override { return rows.at(static_cast<size_t>(row)).note; }
    void setRowPath(int row, const QString& path) override {
        rows.at(static_cast<size_t>(row)).path = path;
        events << QStringLiteral("path %1 %2").arg(row).arg(path);
    }
    void makeRowCurrent(int row) override {
        currentRow = row;
        events << QStringLiteral("current %1").arg(row);
    }
    void processEvents() override {
        ++processEventsCalls;
        if (onProcessEvents) {
            onProcessEvents();
        }
    }
    bool stopRequested() const override { return stop; }
    Dialogs& dialogs() override { return scripted; }
    void setBusyPointer(bool on) override {
        busy = on;
        events << (on ? QStringLiteral("busy") : QStringLiteral("default pointer"));
    }
    void setStartEnabled(bool enabled) override { startEnabled = enabled; }
    void setShowWorkbookEnabled(bool enabled) override { showWorkbookEnabled = enabled; }
    void setProgress(int done, int total) override { progress.push_back({done, total}); }
    void setResultWorkbookPath(const QString& path) override { resultPath = path; }
    void writeSettings() override { events << QStringLiteral("write settings"); }
    void endProgram() override {
        events << QStringLiteral("end program");
        ended = true;
    }

    std::vector<FakeRow> rows;
    ScriptedDialogs scripted;
    std::function<void()> onProcessEvents;
    QStringList events;
    int currentRow = -1;
    int processEventsCalls = 0;
    bool busy = false;
    bool startEnabled = true;
    bool showWorkbookEnabled = false;
    bool ended = false;
    bool stop = false; // what stopRequested() answers
    QString resultPath;
    std::vector<std::pair<int, int>> progress;
};

} // namespace tav::testing
