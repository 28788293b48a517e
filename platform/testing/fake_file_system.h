// Test double for tav::BrowserFileSystem: an in-memory tree of folders and files on a
// set of volumes, some of which can be made unreadable (a card reader without a card).
#pragma once

#include "platform/browser_file_system.h"
#include "platform/error.h"

#include <QMap>
#include <QSet>

#include <functional>

namespace tav::testing {

class FakeFileSystem final : public BrowserFileSystem {
public:
    FakeFileSystem() { addFolder(QStringLiteral("/")); }

    // Adds `path` and every parent folder of it.
    void addFolder(const QString& path) {
        QString current = path;
        while (!tree_.contains(current)) {
            tree_.insert(current, FolderListing());
            if (current == QLatin1String("/")) {
                break;
            }
            const qsizetype slash = current.lastIndexOf(QLatin1Char('/'));
            const QString parent = slash <= 0 ? QStringLiteral("/") : current.left(slash);
            addFolder(parent);
            FolderListing& p = tree_[parent];
            p.folders.push_back(current.mid(slash + 1));
            sortNames(p.folders);
        }
    }

    void addFile(const QString& folder, const QString& name) {
        addFolder(folder);
        tree_[folder].files.push_back(name);
        sortNames(tree_[folder].files);
        changed(folder);
    }

    void renameFile(const QString& folder, const QString& from, const QString& to) {
        QStringList& files = tree_[folder].files;
        files.removeAll(from);
        files.push_back(to);
        sortNames(files);
        changed(folder);
    }

    void watch(const QString& folder, std::function<void()> onChange) override {
        watched = folder;
        onChange_ = std::move(onChange);
    }
    QString watched;

    void addVolume(const QString& root, bool readable = true) {
        addFolder(root);
        volumes_.push_back(root);
        if (!readable) {
            unreadable_.insert(root);
        }
    }

    void setReadable(const QString& root, bool readable) {
        if (readable) {
            unreadable_.remove(root);
        } else {
            unreadable_.insert(root);
        }
    }

    QStringList volumes() override {
        ++volumeCalls;
        return allVolumes();
    }

    FolderListing list(const QString& folder) override {
        ++listCalls;
        if (unreadable_.contains(volumeOf(folder, allVolumes()))) {
            throw Error(err::DeviceUnavailable, QStringLiteral("device not ready"));
        }
        const auto it = tree_.constFind(folder);
        if (it == tree_.constEnd()) {
            throw Error(err::PathNotFound, QStringLiteral("no folder ") + folder);
        }
        return *it;
    }

    int listCalls = 0;
    int volumeCalls = 0;

private:
    void changed(const QString& folder) {
        if (folder == watched && onChange_) {
            onChange_();
        }
    }

    std::function<void()> onChange_;

    QStringList allVolumes() const {
        QStringList all{QStringLiteral("/")};
        all += volumes_;
        return all;
    }

    QMap<QString, FolderListing> tree_;
    QStringList volumes_;
    QSet<QString> unreadable_;
};

} // namespace tav::testing
