// Walks the main window through the states worth looking at and saves a screenshot of
// the whole screen for each, for a person to look at:
//     DISPLAY=:92 app_window_tour OUTPUT_FOLDER
// The window runs on the real platform (file system, settings file, dialogs, Qt's
// Japanese texts) over photos copied into a temporary folder with long Japanese names.
#include "app/extent_list_view.h"
#include "app/file_browser.h"
#include "app/main_window.h"
#include "app/selection_list.h"
#include "app/wait_window.h"
#include "generate/captions.h"
#include "platform/browser_file_system.h"
#include "platform/dialogs.h"
#include "platform/profile_strings.h"
#include "settings/target_selection.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

QString outputFolder;

void settle(int ms = 400) {
    QTest::qWait(ms);
}

void shoot(const char* name) {
    settle();
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString path = QDir(outputFolder).filePath(QLatin1String(name));
    std::printf("%s: %s\n", qPrintable(path), screen.save(path) ? "saved" : "NOT SAVED");
}

// Shoots while the modal dialog that `open` shows is up, then closes it with Escape.
void shootModal(const char* name, const std::function<void()>& open) {
    QTimer::singleShot(600, [name] {
        shoot(name);
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
    });
    open();
}

void clickFile(tav::MainWindow& w, const QString& name) {
    const auto items = w.fileList->findItems(name, Qt::MatchExactly);
    w.fileList->setCurrentItem(items.at(0));
    emit w.fileList->itemClicked(items.at(0));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: app_window_tour OUTPUT_FOLDER\n");
        return 2;
    }
    outputFolder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outputFolder);
    tav::installJapaneseQtTexts();

    QTemporaryDir root;
    const QString photos =
        root.filePath(QStringLiteral("写真/2024年10月_外壁点検/北面と南面_ひび割れ調査"));
    QDir().mkpath(photos);
    const QString images = QStringLiteral(TAVOLIN_TEST_IMAGES "/jpeg/");
    const struct {
        const char* source;
        const char* name;
    } copies[] = {
        {"photo_2.5mp_canon400d_storm.jpg", "犬の写真_12MP.jpg"},
        {"photo_1.2mp_canon_powershot_progressive.jpg", "玄関ポーチのひび割れ_拡大写真.jpg"},
        {"photo_0.5mp_olympus_snow.jpg", "IMG_2024.jpg"},
    };
    for (const auto& c : copies) {
        QFile::copy(images + QLatin1String(c.source), photos + u'/' + QString::fromUtf8(c.name));
    }
    const QString program = root.filePath(QStringLiteral("program"));
    QDir().mkpath(program);

    tav::QtDialogs dialogs;
    tav::LocalFileSystem fileSystem;
    tav::IniProfileStrings profiles;
    profiles.write(program + QStringLiteral("/Tavolin.ini"), QStringLiteral("File"),
                   QStringLiteral("orgPath"), photos);
    tav::MainWindowEnvironment env;
    env.dialogs = &dialogs;
    env.fileSystem = &fileSystem;
    env.profiles = &profiles;
    env.programFolder = program;
    env.startFolder = QDir::homePath();
    tav::MainWindow w(env);
    w.startUp();
    w.show();
    settle(800);

    // The preview in 実寸 mode with both scroll bars, and ChkStart beside them.
    w.previewControls.modeButtons[1]->click();
    clickFile(w, QStringLiteral("犬の写真_12MP.jpg"));
    shoot("preview-actual-size-scroll-bars.png");

    // The magnification 0.4, shown whole.
    w.previewControls.magnification->setCurrentIndex(3);
    emit w.previewControls.magnification->activated(3);
    shoot("magnification-0.4.png");

    // The selection list scrolled to the far right of its long Japanese paths.
    w.fileList->selectAll();
    w.addButton->click();
    w.selectionList().setDisplayName(1, QStringLiteral("玄関ポーチ北側のひび割れ（幅0.3mm）"));
    w.selectionList().makeCurrent(0);
    QScrollBar* bar = w.pathList->horizontalScrollBar();
    bar->setValue(bar->maximum());
    shoot("list-far-right.png");

    // The wait note as the preview shows it while it prepares a picture.
    w.waitWindow().show();
    shoot("wait-note.png");
    w.waitWindow().hide();

    // The rename question of a run, the folder browser and an edit field's menu.
    const QString from = w.selectionList().path(1);
    shootModal("rename-question.png", [&] {
        dialogs.askYesNo(&w,
                         tav::renameQuestion(from, photos + QStringLiteral("/玄関ポーチ北側.jpg")),
                         tav::kRenameQuestionTitle);
    });
    shootModal("folder-browser.png",
               [&] { dialogs.browseForFolder(&w, tav::targetFolderPrompt(), photos); });
    QMenu* menu = w.authorEdit->createStandardContextMenu();
    menu->popup(w.authorEdit->mapToGlobal(QPoint(20, 10)));
    shoot("edit-field-menu.png");
    menu->close();
    delete menu;
    return 0;
}
