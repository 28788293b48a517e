// Handing files and programs to the desktop: "open with the associated program" and
// starting a program by path.
#pragma once

#include <QString>

namespace tav {

class Shell {
public:
    virtual ~Shell() = default;

    // Opens a document with the desktop's associated program (xdg-open). False when
    // nothing could be started for it, or no program is associated with its type.
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

    // Whether the desktop associates a program with the type of the file at `path`: the
    // default application of its MIME type (xdg-mime query default) names a desktop
    // file that exists. xdg-open reports success even when it finds none, so this is
    // asked first. True when the desktop cannot be asked (xdg-mime missing or not
    // answering within a few seconds): xdg-open then tries on its own.
    bool hasAssociatedProgram(const QString& path);
};

// Whether the desktop file `id` ("libreoffice-calc.desktop") is installed in one of the
// applications folders; a "-" in an id may stand for a subfolder ("kde4-x.desktop" for
// kde4/x.desktop).
bool desktopFileInstalled(const QString& id);

// The process-wide shell used by code that has no other way to receive one (the
// spreadsheet engine's Visible). Tests replace it with setDefaultShell().
Shell& defaultShell();
void setDefaultShell(Shell* shell); // nullptr restores the desktop implementation

} // namespace tav
