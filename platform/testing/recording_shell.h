// Test double for tav::Shell: records what would have been opened or started.
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

} // namespace tav::testing
