// A main window on an in-memory file system, scripted dialogs and a temporary program
// folder, plus a preview double that records what it was asked to show.
#pragma once

#include "app/main_window.h"
#include "app/preview_port.h"
#include "platform/testing/fake_file_system.h"
#include "platform/testing/memory_profile_strings.h"
#include "platform/testing/scripted_dialogs.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace tav::testing {

class RecordingPreview final : public PreviewPort {
public:
    void showPicture(const QString& path, const QString& code) override {
        shown.push_back(path + QLatin1Char('|') + code);
        if (whileShowing) {
            const std::function<void()> call = whileShowing; // it may reset itself
            call(); // as the preview processes events while it works
        }
    }
    void rowChosen(const QString& path, const QString& code) override {
        chosen.push_back(path + QLatin1Char('|') + code);
    }
    void fileClicked(const QString& path) override { clicked.push_back(path); }

    std::function<void()> whileShowing;
    QStringList shown;
    QStringList chosen;
    QStringList clicked;
};

// The tree every window test starts from:
//   /home/u                 (working folder)
//   /home/u/photos          a.jpg B.JPG c.txt d.Gif e.emf f.wmf g.bmp h.png i.HEIC j.tif
//                           k.Tiff l.webp m.avif n.mov, subfolder sub
//   /root.jpg               a picture in the root
//   /media/card             a volume without a medium
//   /media/usb/DCIM         x.jpg on a readable volume
struct WindowFixture {
    WindowFixture() {
        fs.addFolder(QStringLiteral("/home/u"));
        const QString photos = QStringLiteral("/home/u/photos");
        for (const char* name :
             {"a.jpg", "B.JPG", "c.txt", "d.Gif", "e.emf", "f.wmf", "g.bmp", "h.png", "i.HEIC",
              "j.tif", "k.Tiff", "l.webp", "m.avif", "n.mov"}) {
            fs.addFile(photos, QLatin1String(name));
        }
        fs.addFolder(photos + QStringLiteral("/sub"));
        fs.addFile(QStringLiteral("/"), QStringLiteral("root.jpg"));
        fs.addVolume(QStringLiteral("/media/card"), false);
        fs.addVolume(QStringLiteral("/media/usb"));
        fs.addFile(QStringLiteral("/media/usb/DCIM"), QStringLiteral("x.jpg"));
    }

    QString iniPath() const { return programDir.path() + QStringLiteral("/Tavolin.ini"); }

    void store(const char* key, const QString& value) {
        profiles.values.insert(
            MemoryProfileStrings::name(iniPath(), QStringLiteral("File"), QLatin1String(key)),
            value);
    }
    QString stored(const char* key) const {
        return profiles.values.value(
            MemoryProfileStrings::name(iniPath(), QStringLiteral("File"), QLatin1String(key)));
    }

    // Creates and starts the window (start-up steps included).
    MainWindow& start(ProfileStrings* useProfiles = nullptr) {
        return create(useProfiles ? useProfiles : &profiles, QStringLiteral("/home/u"), &preview);
    }
    // The same with the program's own preview instead of the double, starting in `folder`
    // (a real folder, for the preview reads the pictures from the disk).
    MainWindow& startWithOwnPreview(const QString& folder) {
        return create(&profiles, folder, nullptr);
    }

    QTemporaryDir programDir;
    FakeFileSystem fs;
    ScriptedDialogs dialogs;
    MemoryProfileStrings profiles;
    RecordingPreview preview;
    std::unique_ptr<MainWindow> window;

private:
    MainWindow& create(ProfileStrings* useProfiles, const QString& startFolder,
                       PreviewPort* previewDouble) {
        MainWindowEnvironment env;
        env.dialogs = &dialogs;
        env.fileSystem = &fs;
        env.profiles = useProfiles;
        env.programFolder = programDir.path();
        env.startFolder = startFolder;
        window = std::make_unique<MainWindow>(env);
        if (previewDouble != nullptr) {
            window->setPreview(previewDouble);
        }
        window->startUp();
        return *window;
    }
};

} // namespace tav::testing
