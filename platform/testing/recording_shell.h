// Test double for tav::Shell: records what would have been opened or started, and a
// guard that makes a shell the process-wide default for one test.
#pragma once

#include "platform/shell.h"

#include <QStringList>

namespace tav::testing {

class RecordingShell final : public Shell {
public:
    bool openDocument(const QString& path) override {
        openedDocuments.push_back(path);
        return openSucceeds;
    }
    bool startProgram(const QString& path) override {
        startedPrograms.push_back(path);
        return startSucceeds;
    }

    QStringList openedDocuments;
    QStringList startedPrograms;
    bool openSucceeds = true;
    bool startSucceeds = true;
};

// Makes `shell` the process-wide default shell while the guard lives. The shell before
// it is back when the guard ends, also when a test stops at a failed assertion.
class DefaultShellOverride {
public:
    explicit DefaultShellOverride(Shell& shell) : previous_(&defaultShell()) {
        setDefaultShell(&shell);
    }
    ~DefaultShellOverride() { setDefaultShell(previous_); }
    DefaultShellOverride(const DefaultShellOverride&) = delete;
    DefaultShellOverride& operator=(const DefaultShellOverride&) = delete;

private:
    Shell* previous_;
};

} // namespace tav::testing
