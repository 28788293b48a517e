// The main window: start-up, the file browser, the settings record and its recall, the
// target folder, the layout families, and shutdown.
#include "window_fixture.h"

#include "app/extent_list_view.h"
#include "app/file_browser.h"
#include "app/list_extent.h"
#include "app/main_window.h"
#include "app/row_dialogs.h"
#include "app/selection_list.h"
#include "app/wait_window.h"
#include "app/window_run_host.h"
#include "platform/profile_strings.h"
#include "platform/testing/recording_shell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using tav::MainWindow;
using tav::testing::WindowFixture;

namespace {

QStringList itemTexts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) {
        out.push_back(list->item(i)->text());
    }
    return out;
}

QStringList comboTexts(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i) {
        out.push_back(combo->itemText(i));
    }
    return out;
}

QStringList documentTexts(const MainWindow& w) {
    return {w.targetFolderLabel->text(), w.workbookNameEdit->text(), w.authorEdit->text(),
            w.titleEdit->text(),         w.subjectEdit->text(),      w.commentEdit->text()};
}

void activateFolder(MainWindow& w, const QString& path) {
    for (int i = 0; i < w.folderList->count(); ++i) {
        if (w.folderList->item(i)->data(Qt::UserRole).toString() == path) {
            emit w.folderList->itemActivated(w.folderList->item(i));
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no folder entry ") + path));
}

void chooseDrive(MainWindow& w, const QString& root) {
    const int index = w.driveList->findData(root);
    QVERIFY(index >= 0);
    w.driveList->setCurrentIndex(index);
    emit w.driveList->activated(index);
}

// Runs `open` (which shows a modal dialog) and returns the texts of the dialog's
// buttons and labels; the dialog is closed with Escape once they are read.
QStringList modalDialogTexts(const std::function<void()>& open) {
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr) {
            return;
        }
        for (const QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
            texts.push_back(b->text());
        }
        for (const QLabel* l : dialog->findChildren<QLabel*>()) {
            texts.push_back(l->text());
        }
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    open();
    return texts;
}

// Pairs of visible controls of `window` that lie on one another: controls are the named
// children of the window and of its frames (the wait note is meant to lie over the
// preview and lets every click through).
QStringList overlappingControls(QWidget& window) {
    QList<QWidget*> parents{&window};
    for (QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        parents.push_back(frame);
    }
    QStringList out;
    for (QWidget* parent : parents) {
        QList<QWidget*> controls;
        for (QWidget* c : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (c->isVisibleTo(&window) && !c->objectName().isEmpty() &&
                !c->objectName().startsWith(QLatin1String("qt_")) &&
                c->objectName() != QLatin1String("frmWait")) {
                controls.push_back(c);
            }
        }
        for (qsizetype i = 0; i < controls.size(); ++i) {
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                if (controls[i]->geometry().intersects(controls[j]->geometry())) {
                    out.push_back(controls[i]->objectName() + QLatin1Char('/') +
                                  controls[j]->objectName());
                }
            }
        }
    }
    return out;
}

// A window with the program's own preview over a folder of real photos.
struct PreviewedWindow {
    PreviewedWindow() {
        for (const auto& [name, size] :
             {std::pair{"small.jpg", QSize(64, 48)}, std::pair{"large.jpg", QSize(1600, 1200)}}) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::darkGreen);
            image.save(photos.filePath(QLatin1String(name)));
            f.fs.addFile(photos.path(), QLatin1String(name));
        }
        window = &f.startWithOwnPreview(photos.path());
    }
    void click(const char* name) {
        const auto items = window->fileList->findItems(QLatin1String(name), Qt::MatchExactly);
        window->fileList->setCurrentItem(items.at(0));
        emit window->fileList->itemClicked(items.at(0));
    }
    QTemporaryDir photos;
    WindowFixture f;
    MainWindow* window = nullptr;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void qtStandardTextsAreJapanese_data();
    void qtStandardTextsAreJapanese();
    void firstStartShowsEmptyFieldsAndTheWorkingFolder();
    void startWithSettingsRestoresOnlyTheBrowserFolder();
    void storedFolderOnUnreadableVolumeFallsBackToRoot();
    void storedFolderMissingOnPresentVolumeStaysOnThatVolume();
    void storedFolderFromAnotherSystemIsIgnored_data();
    void storedFolderFromAnotherSystemIsIgnored();
    void fixedListsAreFilled();
    void folderListShowsChainAndSubfoldersAndFilesMatchingPattern();
    void driveWithoutMediumSnapsBack();
    void driveListReadsVolumesAgainWhenOpened();
    void fileListFollowsTheFolder();
    void noTwoVisibleControlsOverlap_data();
    void noTwoVisibleControlsOverlap();
    void waitNoteLetsClicksThroughOverThePreview();
    void comboBoxesAndListsShowTheirLongestText();
    void chosenRowIsShownByTheProgramsPreview();
    void recallRestoresStartUpValuesEveryTime();
    void recallOfEmptyStoredValuesEmptiesTheFields();
    void targetFolderFixingStopsTheLabelFollowingTheBrowser();
    void cancelledFolderBrowserOnEmptyLabelTakesBrowserFolder();
    void closeButtonAndEndButtonEachWriteOnce_data();
    void closeButtonAndEndButtonEachWriteOnce();
    void settingsSurviveARealRestart();
    void unwritableSettingsStillEndTheProgramSilently();
    void layoutFamiliesKeepTheirInnerChoice();
    void fileNameCheckBoxGreysOutExtensionCheckBox();
    void resultWorkbookEndsTheProgramWithoutWritingSettings();
    void desktopAssociationDecidesWhetherAWorkbookCanBeShown_data();
    void desktopAssociationDecidesWhetherAWorkbookCanBeShown();
    void sampleButtonsOpenOneMoreWindowPerClick();
};

void MainWindowTest::initTestCase() {
    QVERIFY(tav::installJapaneseQtTexts());
}

void MainWindowTest::qtStandardTextsAreJapanese_data() {
    QTest::addColumn<bool>("question"); // else the folder browser
    QTest::addColumn<QStringList>("japanese");
    QTest::addColumn<QStringList>("english");
    QTest::newRow("rename question")
        << true << QStringList{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")}
        << QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")};
    QTest::newRow("folder browser")
        << false
        << QStringList{QStringLiteral("選択(&C)"), QStringLiteral("キャンセル"),
                       QStringLiteral("ディレクトリ:")}
        << QStringList{QStringLiteral("Cancel"), QStringLiteral("Look in:"),
                       QStringLiteral("&Choose"), QStringLiteral("Directory:")};
}

void MainWindowTest::qtStandardTextsAreJapanese() {
    QFETCH(bool, question);
    QFETCH(QStringList, japanese);
    QFETCH(QStringList, english);
    tav::QtDialogs dialogs;
    const QStringList texts = modalDialogTexts([&] {
        if (question) {
            dialogs.askYesNo(nullptr, QStringLiteral("変更しますか"), QStringLiteral("Tavolin"));
        } else {
            dialogs.browseForFolder(nullptr, QStringLiteral("フォルダ"), QDir::tempPath());
        }
    });
    for (const QString& text : japanese) {
        QVERIFY2(texts.contains(text), qPrintable(texts.join(u'|')));
    }
    for (const QString& text : english) {
        QVERIFY2(!texts.contains(text), qPrintable(text));
    }
}

void MainWindowTest::firstStartShowsEmptyFieldsAndTheWorkingFolder() {
    WindowFixture f;
    MainWindow& w = f.start();
    QCOMPARE(documentTexts(w), (QStringList{QStringLiteral("/home/u"), {}, {}, {}, {}, {}}));
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/home/u"));
    QVERIFY(!w.folderFixed());
    QVERIFY(!w.recallSettingsCheck->isChecked());
    QVERIFY(!w.dateNotesCheck->isChecked());
    QCOMPARE(w.settings(), tav::Settings());
    QCOMPARE(w.programFolder(), f.programDir.path());
    QCOMPARE(w.previewControls.information->toPlainText(),
             QStringLiteral("ﾌｧｲﾙ日時(容量)\n画像ｻｲｽﾞ"));
    QCOMPARE(f.dialogs.shown.size(), 0);
    QVERIFY(f.profiles.writes.isEmpty());
}

void MainWindowTest::startWithSettingsRestoresOnlyTheBrowserFolder() {
    WindowFixture f;
    f.store("ExcelFolder", QStringLiteral("/srv/reports"));
    f.store("ExcelFile", QStringLiteral("点検.xls"));
    f.store("Owner", QStringLiteral("佐藤"));
    f.store("orgPath", QStringLiteral("/home/u/photos"));
    f.store("DateNote", QStringLiteral("1"));
    MainWindow& w = f.start();
    QVERIFY(w.dateNotesCheck->isChecked()); // an option, not a recalled text
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/home/u/photos"));
    QCOMPARE(w.fileBrowser().fileListFolder(), QStringLiteral("/home/u/photos"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/home/u/photos"));
    QCOMPARE(w.driveList->currentText(), QStringLiteral("/"));
    QVERIFY(w.workbookNameEdit->text().isEmpty());
    QVERIFY(w.authorEdit->text().isEmpty());
    QCOMPARE(w.settings().author, QStringLiteral("佐藤"));
    QCOMPARE(w.settings().targetFolder, QStringLiteral("/srv/reports"));
}

void MainWindowTest::storedFolderOnUnreadableVolumeFallsBackToRoot() {
    WindowFixture f;
    f.store("orgPath", QStringLiteral("/media/card/DCIM"));
    MainWindow& w = f.start();
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/"));
    QCOMPARE(w.driveList->currentData().toString(), QStringLiteral("/"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/"));
    QCOMPARE(itemTexts(w.fileList), QStringList{QStringLiteral("root.jpg")});
    QCOMPARE(f.dialogs.shown.size(), 0);
}

void MainWindowTest::storedFolderMissingOnPresentVolumeStaysOnThatVolume() {
    WindowFixture f;
    f.store("orgPath", QStringLiteral("/media/usb/gone"));
    MainWindow& w = f.start();
    QCOMPARE(w.driveList->currentData().toString(), QStringLiteral("/media/usb"));
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/media/usb"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/media/usb"));
    QCOMPARE(f.dialogs.shown.size(), 0);
}

void MainWindowTest::storedFolderFromAnotherSystemIsIgnored_data() {
    QTest::addColumn<QString>("orgPath");
    QTest::newRow("windows path") << QStringLiteral("C:\\写真\\2026");
    QTest::newRow("relative") << QStringLiteral("photos");
    QTest::newRow("garbage") << QStringLiteral("\uFFFD\uFFFD");
}

void MainWindowTest::storedFolderFromAnotherSystemIsIgnored() {
    QFETCH(QString, orgPath);
    WindowFixture f;
    f.fs.addFolder(QStringLiteral("/home/u/photos")); // also reachable relative to /home/u
    f.store("orgPath", orgPath);
    MainWindow& w = f.start();
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/home/u"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/home/u"));
    QCOMPARE(f.dialogs.shown.size(), 0);
}

void MainWindowTest::fixedListsAreFilled() {
    WindowFixture f;
    MainWindow& w = f.start();
    QCOMPARE(comboTexts(w.previewControls.magnification),
             QString::fromLatin1("0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8 0.9 1 2 3 4 5 6 7 8 9 10")
                 .split(QLatin1Char(' ')));
    QCOMPARE(w.previewControls.magnification->currentText(), QStringLiteral("1"));
    QCOMPARE(comboTexts(w.previewControls.rotation),
             (QStringList{QStringLiteral("  0"), QStringLiteral(" 90"), QStringLiteral("180"),
                          QStringLiteral("270")}));
    QCOMPARE(w.previewControls.rotation->currentText(), QStringLiteral("  0"));
}

void MainWindowTest::folderListShowsChainAndSubfoldersAndFilesMatchingPattern() {
    WindowFixture f;
    MainWindow& w = f.start();
    activateFolder(w, QStringLiteral("/home/u/photos"));
    QStringList paths;
    for (int i = 0; i < w.folderList->count(); ++i) {
        paths.push_back(w.folderList->item(i)->data(Qt::UserRole).toString());
    }
    QCOMPARE(paths,
             (QStringList{QStringLiteral("/"), QStringLiteral("/home"), QStringLiteral("/home/u"),
                          QStringLiteral("/home/u/photos"), QStringLiteral("/home/u/photos/sub")}));
    QCOMPARE(w.folderList->currentRow(), 3);
    QCOMPARE(itemTexts(w.fileList),
             (QStringList{QStringLiteral("a.jpg"), QStringLiteral("B.JPG"), QStringLiteral("d.Gif"),
                          QStringLiteral("e.emf"), QStringLiteral("f.wmf"), QStringLiteral("g.bmp"),
                          QStringLiteral("h.png"), QStringLiteral("i.HEIC"),
                          QStringLiteral("j.tif"), QStringLiteral("k.Tiff"),
                          QStringLiteral("l.webp"), QStringLiteral("m.avif")}));
    // The caption over the list names every type it shows.
    const auto* caption = w.findChild<QLabel*>(QStringLiteral("Label3"));
    QVERIFY(caption != nullptr);
    QCOMPARE(
        caption->text(),
        QStringLiteral("画像ファイル：( bmp, jpg, gif, wmf, emf, png, tiff, webp, heic, avif )"));
    QCOMPARE(w.fileList->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/home/u/photos"));
    // Up the chain again.
    activateFolder(w, QStringLiteral("/home"));
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/home"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/home"));
    QVERIFY(w.fileList->count() == 0);
}

void MainWindowTest::driveWithoutMediumSnapsBack() {
    WindowFixture f;
    MainWindow& w = f.start();
    activateFolder(w, QStringLiteral("/home/u/photos"));
    chooseDrive(w, QStringLiteral("/media/card"));
    QCOMPARE(w.driveList->currentData().toString(), QStringLiteral("/"));
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/home/u/photos"));
    QCOMPARE(w.fileList->count(), 12);
    // A readable drive opens at its current folder, and coming back to the first drive
    // returns to where the browser was on it.
    chooseDrive(w, QStringLiteral("/media/usb"));
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/media/usb"));
    activateFolder(w, QStringLiteral("/media/usb/DCIM"));
    chooseDrive(w, QStringLiteral("/"));
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/home/u/photos"));
    chooseDrive(w, QStringLiteral("/media/usb"));
    QCOMPARE(w.fileBrowser().folder(), QStringLiteral("/media/usb/DCIM"));
    QCOMPARE(f.dialogs.shown.size(), 0);
}

void MainWindowTest::driveListReadsVolumesAgainWhenOpened() {
    WindowFixture f;
    MainWindow& w = f.start();
    QCOMPARE(w.driveList->findData(QStringLiteral("/media/stick")), -1);
    // Volumes are read once at start; moving around asks none of them (a hung network
    // mount would freeze the window on every change of folder).
    QCOMPARE(f.fs.volumeCalls, 1);
    activateFolder(w, QStringLiteral("/home/u/photos"));
    chooseDrive(w, QStringLiteral("/media/usb"));
    chooseDrive(w, QStringLiteral("/"));
    QCOMPARE(f.fs.volumeCalls, 1);
    f.fs.addVolume(QStringLiteral("/media/stick"));
    auto* drives = qobject_cast<tav::DriveList*>(w.driveList);
    QVERIFY(drives);
    emit drives->aboutToShowPopup();
    QCOMPARE(f.fs.volumeCalls, 2);
    QVERIFY(w.driveList->findData(QStringLiteral("/media/stick")) >= 0);
    QCOMPARE(w.driveList->currentData().toString(), QStringLiteral("/"));
}

void MainWindowTest::fileListFollowsTheFolder() {
    WindowFixture f;
    MainWindow& w = f.start();
    activateFolder(w, QStringLiteral("/home/u/photos"));
    w.fileList->findItems(QStringLiteral("d.Gif"), Qt::MatchExactly)[0]->setSelected(true);
    w.fileList->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    const QStringList clickedBefore = f.preview.clicked;
    // Photos copied in, and one renamed by a run, show up without leaving the folder.
    f.fs.addFile(QStringLiteral("/home/u/photos"), QStringLiteral("c2.jpg"));
    f.fs.addFile(QStringLiteral("/home/u/photos"), QStringLiteral("notes.txt"));
    f.fs.renameFile(QStringLiteral("/home/u/photos"), QStringLiteral("a.jpg"),
                    QStringLiteral("玄関.jpg"));
    f.fs.addFolder(QStringLiteral("/home/u/photos/new"));
    f.fs.addFile(QStringLiteral("/home/u/photos"), QStringLiteral("z.bmp")); // tells the list
    QTRY_COMPARE(
        itemTexts(w.fileList),
        (QStringList{QStringLiteral("B.JPG"), QStringLiteral("c2.jpg"), QStringLiteral("d.Gif"),
                     QStringLiteral("e.emf"), QStringLiteral("f.wmf"), QStringLiteral("g.bmp"),
                     QStringLiteral("h.png"), QStringLiteral("i.HEIC"), QStringLiteral("j.tif"),
                     QStringLiteral("k.Tiff"), QStringLiteral("l.webp"), QStringLiteral("m.avif"),
                     QStringLiteral("z.bmp"), QStringLiteral("玄関.jpg")}));
    // What the user had chosen stays chosen, and nothing is previewed for it.
    QCOMPARE(w.fileBrowser().selectedFileNames(), QStringList{QStringLiteral("d.Gif")});
    QCOMPARE(w.fileList->currentItem()->text(), QStringLiteral("d.Gif"));
    QCOMPARE(f.preview.clicked, clickedBefore);
    QVERIFY(w.folderList->findItems(QStringLiteral("new"), Qt::MatchEndsWith).size() == 1);
    // Another folder is followed instead.
    activateFolder(w, QStringLiteral("/home/u/photos/sub"));
    QCOMPARE(f.fs.watched, QStringLiteral("/home/u/photos/sub"));
}

void MainWindowTest::noTwoVisibleControlsOverlap_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("photo");
    QTest::addColumn<bool>("scrollBars");
    QTest::newRow("ｽｹｰﾙ") << 0 << "large.jpg" << false;
    QTest::newRow("実寸, picture fits") << 1 << "small.jpg" << false;
    QTest::newRow("実寸, with scroll bars") << 1 << "large.jpg" << true;
    QTest::newRow("ﾌｨｯﾄ") << 2 << "large.jpg" << false;
}

void MainWindowTest::noTwoVisibleControlsOverlap() {
    QFETCH(int, mode);
    QFETCH(QString, photo);
    QFETCH(bool, scrollBars);
    PreviewedWindow pw;
    MainWindow& w = *pw.window;
    w.previewControls.modeButtons[mode]->click();
    pw.click(qPrintable(photo));
    for (const char* bar : {"HScroll1", "VScroll1"}) {
        QCOMPARE(w.findChild<QWidget*>(QLatin1String(bar))->isVisibleTo(&w), scrollBars);
    }
    // The list's own buttons and the date-notes option are among the controls checked.
    for (QWidget* c : std::initializer_list<QWidget*>{
             w.moveUpButton, w.moveDownButton, w.undoButton, w.redoButton, w.sortButton,
             w.saveListButton, w.openListButton, w.dateNotesCheck}) {
        QVERIFY2(c->isVisibleTo(&w) && !c->objectName().isEmpty(), qPrintable(c->objectName()));
    }
    QCOMPARE(overlappingControls(w), QStringList());
    // Every control stays inside the window.
    for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(w.rect().contains(c->geometry()), qPrintable(c->objectName()));
    }
}

void MainWindowTest::waitNoteLetsClicksThroughOverThePreview() {
    WindowFixture f;
    MainWindow& w = f.start();
    QWidget& note = w.waitWindow();
    note.show();
    QVERIFY(!note.isWindow());
    QVERIFY(w.previewView->geometry().contains(note.geometry()));
    for (QWidget* list : {static_cast<QWidget*>(w.fileList), static_cast<QWidget*>(w.rotationList),
                          static_cast<QWidget*>(w.displayNameList)}) {
        QVERIFY(!note.geometry().intersects(list->geometry()));
    }
    // A click on it reaches what lies under it.
    QWidget* under = w.childAt(note.geometry().center());
    QVERIFY(under != nullptr && under != &note && !note.isAncestorOf(under));
}

void MainWindowTest::comboBoxesAndListsShowTheirLongestText() {
    WindowFixture f;
    const QString japanese = QStringLiteral("/home/u/写真/犬の写真_12MP.jpg");
    const QString ascii = QStringLiteral("/home/u/photos/IMG_2024.jpg");
    f.fs.addFile(QStringLiteral("/home/u/写真"), QStringLiteral("犬の写真_12MP.jpg"));
    f.fs.addFile(QStringLiteral("/home/u/photos"), QStringLiteral("IMG_2024.jpg"));
    f.fs.addFolder(QStringLiteral("/home/u/写真/二〇二四年十月の現場点検（北面・南面・屋上）"));
    f.fs.addVolume(QStringLiteral("/media/u/とても長い名前のＳＤカード_2024"));
    MainWindow& w = f.start();
    // The path with more characters is the narrower one.
    QVERIFY(ascii.size() > japanese.size());
    QVERIFY(tav::textWidthPixels(w.font(), ascii) < tav::textWidthPixels(w.font(), japanese));
    for (const QString& path : {ascii, japanese}) {
        w.fileBrowser().setFolder(QFileInfo(path).path());
        w.fileList->findItems(QFileInfo(path).fileName(), Qt::MatchExactly)[0]->setSelected(true);
        w.addButton->click();
    }
    w.selectionList().setDisplayName(0,
                                     QStringLiteral("北面外壁のひび割れ（幅0.3mm、長さ約1.2m）"));
    w.previewControls.modeButtons[1]->click(); // CmbSun shows in this mode
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // Each entry of an editable combo box shows from its first character with the
    // cursor at its end.
    for (QComboBox* combo : {w.previewControls.magnification, w.previewControls.rotation,
                             w.rotationDialog().codeCombo}) {
        for (int i = 0; i < combo->count(); ++i) {
            combo->setEditText(combo->itemText(i));
            QLineEdit* edit = combo->lineEdit();
            edit->end(false);
            QVERIFY2(edit->cursorPositionAt(QPoint(1, edit->height() / 2)) == 0,
                     qPrintable(combo->objectName() + QLatin1Char(' ') + combo->itemText(i)));
            QCOMPARE(edit->cursorPositionAt(QPoint(edit->width() - 2, edit->height() / 2)),
                     combo->itemText(i).size());
        }
    }
    // The drive list opens wide enough for its longest volume.
    QFontMetrics driveFont(w.driveList->font());
    for (int i = 0; i < w.driveList->count(); ++i) {
        QVERIFY(w.driveList->view()->minimumWidth() >
                driveFont.horizontalAdvance(w.driveList->itemText(i)));
    }
    // Every list scrolls far enough to show its widest row whole.
    const int textMargin = w.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
    for (tav::ExtentListView* list : {w.pathList, w.rotationList, w.displayNameList}) {
        const QString widest = tav::SelectionList::widestText(*list);
        const int reach = std::max(list->horizontalExtent(), list->viewport()->width());
        QVERIFY2(reach >= textMargin + tav::textWidthPixels(list->font(), widest),
                 qPrintable(list->objectName()));
    }
    QCOMPARE(tav::SelectionList::widestText(*w.pathList), japanese);
    w.fileBrowser().setFolder(QStringLiteral("/home/u/写真"));
    for (QListWidget* list : {static_cast<QListWidget*>(w.fileList), w.folderList}) {
        QTest::qWait(20); // the lists lay out their rows
        const int reach = list->horizontalScrollBar()->maximum() + list->viewport()->width();
        for (int i = 0; i < list->count(); ++i) {
            QVERIFY2(reach >= list->visualItemRect(list->item(i)).width(),
                     qPrintable(list->item(i)->text()));
        }
    }
}

void MainWindowTest::chosenRowIsShownByTheProgramsPreview() {
    // The window's own preview (not a double) receives the chosen row.
    QTemporaryDir photos;
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QVERIFY(image.save(photos.filePath(QStringLiteral("site.jpg"))));
    WindowFixture f;
    f.fs.addFile(photos.path(), QStringLiteral("site.jpg"));
    MainWindow& w = f.startWithOwnPreview(photos.path());
    const QString before = w.previewControls.information->toPlainText();
    w.fileList->selectAll();
    w.addButton->click();
    w.selectionList().makeCurrent(0);
    // The preview writes the file's date, size and picture size.
    QVERIFY(w.previewControls.information->toPlainText() != before);
    QCOMPARE(w.previewControls.information->toPlainText().count(QLatin1Char('\n')), 1);
}

void MainWindowTest::recallRestoresStartUpValuesEveryTime() {
    WindowFixture f;
    f.store("ExcelFolder", QStringLiteral("/srv/reports"));
    f.store("ExcelFile", QStringLiteral("点検.xls"));
    f.store("Owner", QStringLiteral("佐藤"));
    f.store("Title", QStringLiteral("外壁"));
    f.store("Hyodai", QStringLiteral("表題"));
    f.store("Comment", QStringLiteral("コメント"));
    MainWindow& w = f.start();
    const QStringList storedTexts{QStringLiteral("/srv/reports"), QStringLiteral("点検.xls"),
                                  QStringLiteral("佐藤"),         QStringLiteral("外壁"),
                                  QStringLiteral("表題"),         QStringLiteral("コメント")};
    w.recallSettingsCheck->click(); // tick
    QCOMPARE(documentTexts(w), storedTexts);
    QVERIFY(!w.folderFixed());
    w.authorEdit->setText(QStringLiteral("鈴木"));
    w.commentEdit->setText(QStringLiteral("edited"));
    w.recallSettingsCheck->click(); // untick: nothing changes
    QCOMPARE(w.authorEdit->text(), QStringLiteral("鈴木"));
    QCOMPARE(w.commentEdit->text(), QStringLiteral("edited"));
    w.recallSettingsCheck->click(); // tick again: the start-up values once more
    QCOMPARE(documentTexts(w), storedTexts);
    // The recalled folder is not fixed: the browser overwrites it.
    activateFolder(w, QStringLiteral("/home/u/photos"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/home/u/photos"));
}

void MainWindowTest::recallOfEmptyStoredValuesEmptiesTheFields() {
    WindowFixture f;
    MainWindow& w = f.start();
    w.workbookNameEdit->setText(QStringLiteral("typed"));
    w.recallSettingsCheck->click();
    QCOMPARE(documentTexts(w), (QStringList{{}, {}, {}, {}, {}, {}}));
}

void MainWindowTest::targetFolderFixingStopsTheLabelFollowingTheBrowser() {
    WindowFixture f;
    MainWindow& w = f.start();
    w.workbookNameEdit->setText(QStringLiteral("book"));
    // Confirming the folder that is already shown fixes nothing.
    f.dialogs.folderAnswers.push_back(QStringLiteral("/home/u"));
    w.targetFolderButton->click();
    QVERIFY(!w.folderFixed());
    QCOMPARE(f.dialogs.browseInitialFolders.last(), QStringLiteral("/home/u"));
    activateFolder(w, QStringLiteral("/home/u/photos"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/home/u/photos"));
    // Another folder fixes it.
    f.dialogs.folderAnswers.push_back(QStringLiteral("/srv/out"));
    w.targetFolderButton->click();
    QVERIFY(w.folderFixed());
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/srv/out"));
    QCOMPARE(w.workbookNameEdit->text(), QStringLiteral("book"));
    activateFolder(w, QStringLiteral("/home/u/photos/sub"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/srv/out"));
    // The browser opens on the target folder; cancelling keeps everything.
    w.targetFolderButton->click();
    QCOMPARE(f.dialogs.browseInitialFolders.last(), QStringLiteral("/srv/out"));
    QVERIFY(w.folderFixed());
    QCOMPARE(f.dialogs.messageCount(), 0);
}

void MainWindowTest::cancelledFolderBrowserOnEmptyLabelTakesBrowserFolder() {
    WindowFixture f;
    MainWindow& w = f.start();
    w.targetFolderLabel->clear();
    w.targetFolderButton->click(); // cancel
    QCOMPARE(f.dialogs.browseInitialFolders.last(), QStringLiteral("/home/u"));
    QCOMPARE(w.targetFolderLabel->text(), QStringLiteral("/home/u"));
    QVERIFY(!w.folderFixed());
}

void MainWindowTest::closeButtonAndEndButtonEachWriteOnce_data() {
    QTest::addColumn<bool>("useEndButton");
    QTest::newRow("title-bar close") << false;
    QTest::newRow("CmdEnd") << true;
}

void MainWindowTest::closeButtonAndEndButtonEachWriteOnce() {
    QFETCH(bool, useEndButton);
    WindowFixture f;
    MainWindow& w = f.start();
    w.show();
    QSignalSpy released(&w, &MainWindow::releasing);
    QSignalSpy ended(&w, &MainWindow::programEnded);
    activateFolder(w, QStringLiteral("/home/u/photos"));
    f.dialogs.folderAnswers.push_back(QStringLiteral("/srv/out"));
    w.targetFolderButton->click();
    w.workbookNameEdit->setText(QStringLiteral("報告"));
    w.subjectEdit->setText(QStringLiteral("件名"));
    w.dateNotesCheck->setChecked(true);
    if (useEndButton) {
        w.quitButton->click();
    } else {
        w.close();
    }
    QCOMPARE(f.profiles.writes.size(), std::size(tav::SettingsKeys));
    QCOMPARE(released.size(), 1);
    QCOMPARE(ended.size(), 1);
    QVERIFY(!w.isVisible());
    QCOMPARE(f.stored("ExcelFolder"), QStringLiteral("/srv/out"));
    QCOMPARE(f.stored("orgPath"), QStringLiteral("/home/u/photos"));
    QCOMPARE(f.stored("ExcelFile"), QStringLiteral("報告"));
    QCOMPARE(f.stored("Hyodai"), QStringLiteral("件名"));
    QCOMPARE(f.stored("DateNote"), QStringLiteral("1"));
    // A second close request (the other way) writes nothing more.
    if (useEndButton) {
        w.close();
    } else {
        w.quitButton->click();
    }
    w.shutdown();
    QCOMPARE(f.profiles.writes.size(), std::size(tav::SettingsKeys));
    QCOMPARE(ended.size(), 1);
}

void MainWindowTest::settingsSurviveARealRestart() {
    // Texts CP932 cannot hold come back exactly: "é" and the WAVE DASH of Linux input
    // methods, which CP932 reads back as a FULLWIDTH TILDE.
    WindowFixture f;
    const QString folder = QStringLiteral("/home/u/Café_写真");
    f.fs.addFolder(folder);
    tav::IniProfileStrings ini;
    {
        MainWindow& w = f.start(&ini);
        activateFolder(w, folder);
        w.commentEdit->setText(QStringLiteral("10時〜12時"));
        w.authorEdit->setText(QStringLiteral("第２回　点検"));
        w.close();
    }
    QVERIFY(QFile::exists(f.iniPath()));
    MainWindow& again = f.start(&ini);
    QCOMPARE(again.fileBrowser().folder(), folder);
    QVERIFY(again.commentEdit->text().isEmpty());
    again.recallSettingsCheck->click();
    QCOMPARE(again.commentEdit->text(), QStringLiteral("10時〜12時"));
    QCOMPARE(again.authorEdit->text(), QStringLiteral("第２回　点検"));
    QCOMPARE(again.targetFolderLabel->text(), folder);
}

void MainWindowTest::unwritableSettingsStillEndTheProgramSilently() {
    WindowFixture f;
    f.profiles.failWrites = true;
    f.store("Owner", QStringLiteral("old"));
    MainWindow& w = f.start();
    QSignalSpy ended(&w, &MainWindow::programEnded);
    w.authorEdit->setText(QStringLiteral("new"));
    w.quitButton->click();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(f.stored("Owner"), QStringLiteral("old"));
    QCOMPARE(f.dialogs.shown.size(), 0);
}

void MainWindowTest::layoutFamiliesKeepTheirInnerChoice() {
    WindowFixture f;
    MainWindow& w = f.start();
    QVERIFY(w.withNotesSampleButton->isEnabled() && !w.withoutNotesSampleButton->isEnabled());
    QVERIFY(w.withNotesFrame->isEnabled() && !w.withoutNotesFrame->isEnabled());
    QVERIFY(!w.withoutNotesLayoutOptions[2]->isEnabled());
    w.withNotesLayoutOptions[3]->click();
    w.layoutFamilyOptions[1]->click();
    QVERIFY(!w.withNotesSampleButton->isEnabled() && w.withoutNotesSampleButton->isEnabled());
    QVERIFY(!w.withNotesFrame->isEnabled() && w.withoutNotesFrame->isEnabled());
    QVERIFY(!w.withNotesLayoutOptions[3]->isEnabled());
    w.withoutNotesLayoutOptions[4]->click();
    w.layoutFamilyOptions[0]->click();
    QVERIFY(w.withNotesSampleButton->isEnabled() && !w.withoutNotesSampleButton->isEnabled());
    QVERIFY(w.withNotesLayoutOptions[3]->isChecked());
    QVERIFY(w.withoutNotesLayoutOptions[4]->isChecked());
    QVERIFY(!w.withNotesLayoutOptions[0]->isChecked());
    QVERIFY(w.layoutFamilyOptions[0]->isChecked() && !w.layoutFamilyOptions[1]->isChecked());
}

void MainWindowTest::fileNameCheckBoxGreysOutExtensionCheckBox() {
    WindowFixture f;
    MainWindow& w = f.start();
    w.extensionCheck->setChecked(false);
    w.fileNameCheck->click();
    QVERIFY(!w.fileNameCheck->isChecked());
    QVERIFY(!w.extensionCheck->isEnabled());
    QVERIFY(!w.extensionCheck->isChecked());
    w.fileNameCheck->click();
    QVERIFY(w.extensionCheck->isEnabled());
    QVERIFY(!w.extensionCheck->isChecked());
    QVERIFY(!w.renameFilesCheck->isChecked());
}

void MainWindowTest::resultWorkbookEndsTheProgramWithoutWritingSettings() {
    WindowFixture f;
    tav::testing::RecordingShell shell;
    const tav::testing::DefaultShellOverride useShell(shell);
    MainWindow& w = f.start();
    QSignalSpy ended(&w, &MainWindow::programEnded);
    // A workbook written by an earlier run of the engine stands in for the result.
    const QString result = f.programDir.filePath(QStringLiteral("結果.xls"));
    QVERIFY(QFile::copy(QStringLiteral(TAVOLIN_TEMPLATE_PATH), result));
    w.runHost().setResultWorkbookPath(result);
    w.authorEdit->setText(QStringLiteral("変更した作成者"));
    w.showWorkbookButton->setEnabled(true);
    w.showWorkbookButton->click();
    QCOMPARE(shell.openedDocuments, QStringList{result});
    QCOMPARE(ended.size(), 1);
    // Neither the button nor the close that follows writes the settings file.
    w.close();
    QVERIFY(f.profiles.writes.isEmpty());
    QCOMPARE(ended.size(), 1);
}

void MainWindowTest::desktopAssociationDecidesWhetherAWorkbookCanBeShown_data() {
    QTest::addColumn<QString>("defaultApplication"); // for application/vnd.ms-excel
    QTest::addColumn<QString>("installedDesktopFile");
    QTest::addColumn<bool>("canShow");
    QTest::newRow("no association") << QString() << QString() << false;
    QTest::newRow("association to a program that is gone")
        << QStringLiteral("calc.desktop") << QString() << false;
    QTest::newRow("associated") << QStringLiteral("calc.desktop") << QStringLiteral("calc.desktop")
                                << true;
    QTest::newRow("associated, in a subfolder")
        << QStringLiteral("suite-calc.desktop") << QStringLiteral("suite/calc.desktop") << true;
}

void MainWindowTest::desktopAssociationDecidesWhetherAWorkbookCanBeShown() {
    QFETCH(QString, defaultApplication);
    QFETCH(QString, installedDesktopFile);
    QFETCH(bool, canShow);
    // A desktop of its own: XDG folders in a temporary folder, no desktop environment.
    QTemporaryDir xdg;
    const QString config = xdg.filePath(QStringLiteral("config"));
    const QString data = xdg.filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(config) && QDir().mkpath(data + QStringLiteral("/applications")));
    const auto write = [](const QString& path, const QByteArray& text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    if (!defaultApplication.isEmpty()) {
        write(config + QStringLiteral("/mimeapps.list"),
              "[Default Applications]\napplication/vnd.ms-excel=" + defaultApplication.toUtf8() +
                  "\n");
    }
    if (!installedDesktopFile.isEmpty()) {
        write(data + QStringLiteral("/applications/") + installedDesktopFile,
              "[Desktop Entry]\nType=Application\nName=Calc\nExec=true %f\n"
              "MimeType=application/vnd.ms-excel;\n");
    }
    // The file's type comes from the system's MIME database, which Qt looks up in the data
    // folders too (and again after a few seconds): the private desktop links to it.
    const QString mime =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("mime"),
                               QStandardPaths::LocateDirectory);
    QVERIFY(!mime.isEmpty());
    QVERIFY(QFile::link(mime, data + QStringLiteral("/mime")));
    const QByteArray names[] = {"XDG_CONFIG_HOME",  "XDG_CONFIG_DIRS",         "XDG_DATA_HOME",
                                "XDG_DATA_DIRS",    "XDG_CURRENT_DESKTOP",     "DESKTOP_SESSION",
                                "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"};
    QHash<QByteArray, QByteArray> saved;
    for (const QByteArray& name : names) {
        if (qEnvironmentVariableIsSet(name.constData())) {
            saved.insert(name, qgetenv(name.constData()));
        }
        qunsetenv(name.constData());
    }
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", config.toLocal8Bit());
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    qputenv("XDG_DATA_DIRS", data.toLocal8Bit());
    const QString workbook = xdg.filePath(QStringLiteral("報告.xls"));
    QVERIFY(QFile::copy(QStringLiteral(TAVOLIN_TEMPLATE_PATH), workbook));
    tav::DesktopShell shell;
    const bool answer = shell.hasAssociatedProgram(workbook);
    for (const QByteArray& name : names) {
        qunsetenv(name.constData());
        if (saved.contains(name)) {
            qputenv(name.constData(), saved.value(name));
        }
    }
    QCOMPARE(answer, canShow);
}

void MainWindowTest::sampleButtonsOpenOneMoreWindowPerClick() {
    WindowFixture f;
    tav::testing::RecordingShell shell;
    const tav::testing::DefaultShellOverride useShell(shell);
    MainWindow& w = f.start();
    // Without the sample beside the program: the warning names the expected path.
    w.withNotesSampleButton->click();
    QCOMPARE(f.dialogs.messageCount(), 1);
    QCOMPARE(f.dialogs.shown.back().text, QStringLiteral("サンプルファイル：") +
                                              f.programDir.path() +
                                              QStringLiteral("/ﾉｰﾄ付きｻﾝﾌﾟﾙ.xls がありません"));
    QCOMPARE(f.dialogs.shown.back().icon, tav::MessageIcon::Exclamation);
    QVERIFY(shell.openedDocuments.isEmpty());

    const QString sample = f.programDir.filePath(QStringLiteral("ﾉｰﾄ付きｻﾝﾌﾟﾙ.xls"));
    QVERIFY(QFile::copy(QStringLiteral(TAVOLIN_TEMPLATE_PATH), sample));
    w.withNotesSampleButton->click();
    w.withNotesSampleButton->click();
    QCOMPARE(shell.openedDocuments, (QStringList{sample, sample}));
    QVERIFY(w.spreadsheetApp() != nullptr);
    QCOMPARE(f.dialogs.messageCount(), 1);
    // Nothing on the desktop can show it: the user is told, and the program goes on.
    shell.openSucceeds = false;
    w.withNotesSampleButton->click();
    QCOMPARE(f.dialogs.messageCount(), 2);
    QVERIFY(f.dialogs.shown.back().text.startsWith(
        QStringLiteral("Excelファイルを表示できるプログラムが見つかりません。\n\n") + sample));
    QVERIFY(!f.dialogs.shown.back().text.contains(QStringLiteral("終了")));
    QVERIFY(w.isEnabled());
    // Shutdown drops the reference to the application.
    w.close();
    QVERIFY(w.spreadsheetApp() == nullptr);
}

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
