// Handing files and programs to the desktop: "open with the associated program" and
// starting a program by path.
#pragma once

#include <QString>

namespace tav {

class Shell {
public:
    virtual ~Shell() = default;

    // Opens a document with the desktop's associated program (xdg-open). False when
    // nothing could be started for it.
    virtual bool openDocument(const QString& path) = 0;

    // Starts the program at `path` detached, with a normal, focused window.
    // False when it cannot be started.
    virtual bool startProgram(const QString& path) = 0;
};

// QDesktopServices / QProcess implementation.
class DesktopShell final : public Shell {
public:
    bool openDocument(const QString& path) override;
    bool startProgram(const QString& path) override;
};

// The process-wide shell used by code that has no other way to receive one (the
// spreadsheet engine's Visible). Tests replace it with setDefaultShell().
Shell& defaultShell();
void setDefaultShell(Shell* shell); // nullptr restores the desktop implementation

} // namespace tav
