// The selection list in its three list boxes, and the two row dialogs.
#include "window_fixture.h"

#include "app/extent_list_view.h"
#include "app/file_browser.h"
#include "app/list_actions.h"
#include "app/list_extent.h"
#include "app/photo_row_model.h"
#include "app/row_dialogs.h"
#include "app/selection_list.h"

#include <QAction>
#include <QBrush>
#include <QComboBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>
#include <QUrl>

using tav::ExtentListView;
using tav::MainWindow;
using tav::SelectionList;
using tav::testing::WindowFixture;

namespace {

// Selects the named files of File1 (and only those).
void selectFiles(MainWindow& w, const QStringList& names) {
    w.fileList->clearSelection();
    for (const QString& name : names) {
        const auto found = w.fileList->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        found[0]->setSelected(true);
    }
}

void openFolder(MainWindow& w, const QString& path) {
    w.fileBrowser().setFolder(path);
}

QStringList paths(const SelectionList& list) {
    QStringList out;
    for (int i = 0; i < list.rowCount(); ++i) {
        out.push_back(list.path(i));
    }
    return out;
}

// A window on folder `folder` holding `count` registered files named so that every
// path has `pathLength` characters.
struct ListedWindow {
    ListedWindow(int count, int pathLength = 20) {
        const QString folder = QStringLiteral("/p");
        for (int i = 0; i < count; ++i) {
            QString name = QStringLiteral("%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
            name = QString(pathLength - folder.size() - 1 - name.size(), QLatin1Char('x')) + name;
            f.fs.addFile(folder, name);
        }
        MainWindow& w = f.start();
        openFolder(w, folder);
        w.fileList->selectAll();
        w.addButton->click();
    }
    MainWindow& w() { return *f.window; }
    SelectionList& list() { return f.window->selectionList(); }
    WindowFixture f;
};

} // namespace

class SelectionListTest : public QObject {
    Q_OBJECT
private slots:
    void registeringFormsPathsWithOneSeparator_data();
    void registeringFormsPathsWithOneSeparator();
    void registeringSkipsKnownPathsAndKeepsBrowserOrder();
    void newRowsTakeTheRotationComboText();
    void doubleClickOnFileListRegistersLikeTheButton();
    void registeringChangesNeitherCurrentRowNorPreview();
    void registeringStopsAtTheRowLimit();
    void extentRuleOnMeasuredWidths();
    void narrowListsWidenOnlyForPathsLongerThan30();
    void extentNeverShrinksOnRemoveAndResetsOnClear();
    void extentSetsTheHorizontalScrollRange();
    void choosingARowInAnyListMovesAllAndRaisesRowChosenOnce_data();
    void choosingARowInAnyListMovesAllAndRaisesRowChosenOnce();
    void makeCurrentActsLikeTheUser();
    void scrollingAnyListScrollsTheOthers_data();
    void scrollingAnyListScrollsTheOthers();
    void focusAloneDoesNotChooseARow();
    void removingLeavesNoCurrentRowAndKeepsOrder();
    void removeWithoutCurrentRowDoesNothing();
    void fieldReplacementKeepsTheRowInPlace();
    void fileClickAsksThePreview();
    void keyboardMovesInTheFileListPreview_data();
    void keyboardMovesInTheFileListPreview();
    void nameDialogStartsWithTheFileName();
    void nameDialogWritesOnlyAChangedName();
    void nameDialogWritesToTheRowCurrentAtSet();
    void dialogsWithoutCurrentRowWriteNothing();
    void dialogsIgnoreEnterAndEscape();
    void roundDialogWritesCodeAndRedrawsOnce();
    void roundDialogSetDoesNotRunInsideItself();
    void roundDialogCancelChangesNothing();
    void blockMoveOrders_data();
    void blockMoveOrders();
    void everyChangeIsUndoneAndRedone_data();
    void everyChangeIsUndoneAndRedone();
    void sortingOrdersByNaturalNameOrDate();
    void draggingRowsMovesThemAsABlock();
    void droppedFilesAndFoldersRegisterLikeTheButton();
    void keysReachMovesNotesAndUndo();
    void listFileSavesAndOpensTheWholeList();
};

void SelectionListTest::registeringFormsPathsWithOneSeparator_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root") << "/"
                          << "root.jpg"
                          << "/root.jpg";
    QTest::newRow("subfolder") << "/home/u/photos"
                               << "B.JPG"
                               << "/home/u/photos/B.JPG";
    QTest::newRow("volume root") << "/media/usb/DCIM"
                                 << "x.jpg"
                                 << "/media/usb/DCIM/x.jpg";
}

void SelectionListTest::registeringFormsPathsWithOneSeparator() {
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, expected);
    WindowFixture f;
    MainWindow& w = f.start();
    openFolder(w, folder);
    selectFiles(w, {file});
    w.addButton->click();
    QCOMPARE(paths(w.selectionList()), QStringList{expected});
    QCOMPARE(w.selectionList().rotation(0), QStringLiteral("  0"));
    QCOMPARE(w.selectionList().displayName(0), QStringLiteral("ファイル名と同じ"));
}

void SelectionListTest::registeringSkipsKnownPathsAndKeepsBrowserOrder() {
    WindowFixture f;
    MainWindow& w = f.start();
    openFolder(w, QStringLiteral("/home/u/photos"));
    selectFiles(w, {QStringLiteral("d.Gif")});
    w.addButton->click();
    w.addButton->click(); // the same file again
    QCOMPARE(w.selectionList().rowCount(), 1);
    // Selected in any order, registered in the browser's order; d.Gif is known.
    selectFiles(w, {QStringLiteral("g.bmp"), QStringLiteral("d.Gif"), QStringLiteral("a.jpg")});
    w.addButton->click();
    QCOMPARE(paths(w.selectionList()), (QStringList{QStringLiteral("/home/u/photos/d.Gif"),
                                                    QStringLiteral("/home/u/photos/a.jpg"),
                                                    QStringLiteral("/home/u/photos/g.bmp")}));
    QCOMPARE(w.rotationList->count(), 3);
    QCOMPARE(w.displayNameList->count(), 3);
    // Case matters: another spelling of a path is another row.
    tav::SelectionList& list = w.selectionList();
    list.registerFiles(QStringLiteral("/home/u/photos"), {QStringLiteral("A.JPG")},
                       QStringLiteral("  0"));
    QCOMPARE(list.rowCount(), 4);
    // Nothing selected adds nothing.
    w.fileList->clearSelection();
    w.addButton->click();
    QCOMPARE(list.rowCount(), 4);
}

void SelectionListTest::newRowsTakeTheRotationComboText() {
    WindowFixture f;
    MainWindow& w = f.start();
    openFolder(w, QStringLiteral("/home/u/photos"));
    w.previewControls.rotation->setCurrentIndex(1);
    selectFiles(w, {QStringLiteral("a.jpg")});
    w.addButton->click();
    w.previewControls.rotation->setEditText(QStringLiteral("45"));
    selectFiles(w, {QStringLiteral("B.JPG")});
    w.addButton->click();
    QCOMPARE(w.selectionList().rotation(0), QStringLiteral(" 90"));
    QCOMPARE(w.selectionList().rotation(1), QStringLiteral("45"));
    QCOMPARE(w.rotationList->text(1), QStringLiteral("45"));
}

void SelectionListTest::doubleClickOnFileListRegistersLikeTheButton() {
    WindowFixture f;
    MainWindow& w = f.start();
    openFolder(w, QStringLiteral("/home/u/photos"));
    selectFiles(w, {QStringLiteral("e.emf"), QStringLiteral("f.wmf")});
    emit w.fileList->itemDoubleClicked(w.fileList->item(3));
    QCOMPARE(paths(w.selectionList()), (QStringList{QStringLiteral("/home/u/photos/e.emf"),
                                                    QStringLiteral("/home/u/photos/f.wmf")}));
}

void SelectionListTest::registeringChangesNeitherCurrentRowNorPreview() {
    WindowFixture f;
    MainWindow& w = f.start();
    openFolder(w, QStringLiteral("/home/u/photos"));
    selectFiles(w, {QStringLiteral("a.jpg")});
    w.addButton->click();
    w.selectionList().makeCurrent(0);
    f.preview.chosen.clear();
    selectFiles(w, {QStringLiteral("B.JPG"), QStringLiteral("g.bmp")});
    w.addButton->click();
    QCOMPARE(w.selectionList().currentRow(), 0);
    QVERIFY(f.preview.chosen.isEmpty());
    QCOMPARE(w.fileList->selectedItems().size(), 2);
}

void SelectionListTest::registeringStopsAtTheRowLimit() {
    WindowFixture f;
    MainWindow& w = f.start();
    SelectionList& list = w.selectionList();
    QStringList names;
    for (int i = 0; i < SelectionList::MaxRows + 3; ++i) {
        names.push_back(QStringLiteral("%1.jpg").arg(i));
    }
    QCOMPARE(list.registerFiles(QStringLiteral("/a"), names, QStringLiteral("  0")),
             SelectionList::MaxRows);
    QCOMPARE(list.rowCount(), 32767);
    QCOMPARE(
        list.registerFiles(QStringLiteral("/b"), {QStringLiteral("x.jpg")}, QStringLiteral("  0")),
        0);
    QCOMPARE(w.rotationList->count(), 32767);
    QCOMPARE(w.displayNameList->count(), 32767);
}

void SelectionListTest::extentRuleOnMeasuredWidths() {
    // Rounded half to even, plus 4; grows only; reset by a text narrower than three spaces.
    QCOMPARE(tav::newListExtent(0, 100.5, 9.0), std::optional<int>(104));
    QCOMPARE(tav::newListExtent(0, 101.5, 9.0), std::optional<int>(106));
    QCOMPARE(tav::newListExtent(0, 100.4, 9.0), std::optional<int>(104));
    QCOMPARE(tav::newListExtent(200, 100.0, 9.0), std::nullopt);
    QCOMPARE(tav::newListExtent(104, 100.0, 9.0), std::nullopt);
    QCOMPARE(tav::newListExtent(200, 0.0, 9.0), std::optional<int>(4));
    QCOMPARE(tav::newListExtent(200, 3.0, 9.0), std::optional<int>(7));
    QCOMPARE(tav::newListExtent(200, 6.0, 9.0), std::nullopt); // 10 > 9: not a reset
}

void SelectionListTest::narrowListsWidenOnlyForPathsLongerThan30() {
    {
        ListedWindow lw(3, 30);
        QCOMPARE(lw.list().path(0).size(), 30);
        QVERIFY(lw.w().pathList->horizontalExtent() > 4);
        QCOMPARE(lw.w().rotationList->horizontalExtent(), 0);
        QCOMPARE(lw.w().displayNameList->horizontalExtent(), 0);
    }
    {
        ListedWindow lw(3, 31);
        const int extent = lw.w().pathList->horizontalExtent();
        const int expected =
            static_cast<int>(
                std::nearbyint(tav::textWidthPixels(lw.w().pathList->font(), lw.list().path(0)))) +
            4;
        QCOMPARE(extent, expected);
        QCOMPARE(lw.w().rotationList->horizontalExtent(), extent);
        QCOMPARE(lw.w().displayNameList->horizontalExtent(), extent);
    }
}

void SelectionListTest::extentNeverShrinksOnRemoveAndResetsOnClear() {
    WindowFixture f;
    f.fs.addFile(QStringLiteral("/p"), QStringLiteral("a_very_long_file_name_for_testing.jpg"));
    f.fs.addFile(QStringLiteral("/p"), QStringLiteral("b.jpg"));
    MainWindow& w = f.start();
    openFolder(w, QStringLiteral("/p"));
    w.fileList->selectAll();
    w.addButton->click();
    const int wide = w.pathList->horizontalExtent();
    QVERIFY(wide > 150);
    QCOMPARE(w.rotationList->horizontalExtent(), wide);
    w.selectionList().makeCurrent(0);
    w.removeButton->click();
    QCOMPARE(w.selectionList().rowCount(), 1);
    QCOMPARE(w.pathList->horizontalExtent(), wide);
    QCOMPARE(w.displayNameList->horizontalExtent(), wide);
    // Registering again measures the longest remaining path: narrower, so no change.
    w.addButton->click();
    QCOMPARE(w.pathList->horizontalExtent(), wide);
    w.clearButton->click();
    QCOMPARE(w.selectionList().rowCount(), 0);
    for (ExtentListView* list : {w.pathList, w.rotationList, w.displayNameList}) {
        QVERIFY(list->count() == 0);
        QVERIFY2(list->horizontalExtent() < 10, qPrintable(list->objectName()));
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    }
    // Registering nothing into an empty list resets the path list's extent too.
    w.pathList->setHorizontalExtent(500);
    w.fileList->clearSelection();
    w.addButton->click();
    QVERIFY(w.pathList->horizontalExtent() < 10);
}

void SelectionListTest::extentSetsTheHorizontalScrollRange() {
    WindowFixture f;
    MainWindow& w = f.start();
    w.show();
    ExtentListView* list = w.rotationList;
    w.selectionList().registerFiles(QStringLiteral("/p"), {QStringLiteral("a.jpg")},
                                    QStringLiteral("  0"));
    list->setHorizontalExtent(400);
    QTest::qWait(50);
    const int visible = list->viewport()->width();
    QCOMPARE(list->horizontalScrollBar()->maximum(), 400 - visible);
    QVERIFY(list->horizontalScrollBar()->isVisible());
    list->setHorizontalExtent(4);
    QTest::qWait(50);
    QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
    QVERIFY(!list->horizontalScrollBar()->isVisible());
}

void SelectionListTest::choosingARowInAnyListMovesAllAndRaisesRowChosenOnce_data() {
    QTest::addColumn<QString>("listName");
    QTest::newRow("paths") << "lstGazoFile";
    QTest::newRow("rotations") << "lstChk";
    QTest::newRow("display names") << "lst2ndName";
}

void SelectionListTest::choosingARowInAnyListMovesAllAndRaisesRowChosenOnce() {
    QFETCH(QString, listName);
    ListedWindow lw(5);
    lw.list().setRotation(2, QStringLiteral("180"));
    QSignalSpy chosen(&lw.list(), &SelectionList::rowChosen);
    auto* list = lw.w().findChild<ExtentListView*>(listName);
    QVERIFY(list);
    list->setCurrentRow(2);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][0].toInt(), 2);
    for (ExtentListView* l : {lw.w().pathList, lw.w().rotationList, lw.w().displayNameList}) {
        QCOMPARE(l->currentRow(), 2);
    }
    QCOMPARE(lw.f.preview.chosen, QStringList{lw.list().path(2) + QStringLiteral("|180")});
    list->setCurrentRow(2); // the same row again: nothing
    QCOMPARE(chosen.size(), 1);
    list->setCurrentRow(4);
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(lw.list().currentRow(), 4);
}

void SelectionListTest::makeCurrentActsLikeTheUser() {
    ListedWindow lw(4);
    QSignalSpy chosen(&lw.list(), &SelectionList::rowChosen);
    lw.list().makeCurrent(3);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(lw.w().rotationList->currentRow(), 3);
    QCOMPARE(lw.w().displayNameList->currentRow(), 3);
    QCOMPARE(lw.w().displayNameList->selectedRows(), std::vector<int>{3});
    lw.list().makeCurrent(3);
    QCOMPARE(chosen.size(), 1);
}

void SelectionListTest::scrollingAnyListScrollsTheOthers_data() {
    choosingARowInAnyListMovesAllAndRaisesRowChosenOnce_data();
}

void SelectionListTest::scrollingAnyListScrollsTheOthers() {
    QFETCH(QString, listName);
    ListedWindow lw(60);
    lw.w().show();
    QCoreApplication::processEvents();
    QSignalSpy chosen(&lw.list(), &SelectionList::rowChosen);
    auto* list = lw.w().findChild<ExtentListView*>(listName);
    list->verticalScrollBar()->setValue(17);
    for (ExtentListView* l : {lw.w().pathList, lw.w().rotationList, lw.w().displayNameList}) {
        QCOMPARE(l->topRow(), 17);
    }
    QCOMPARE(chosen.size(), 0);
    QCOMPARE(lw.list().currentRow(), -1);
}

void SelectionListTest::focusAloneDoesNotChooseARow() {
    ListedWindow lw(3);
    lw.w().show();
    lw.w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&lw.w()));
    QSignalSpy chosen(&lw.list(), &SelectionList::rowChosen);
    lw.w().rotationList->setFocus(Qt::TabFocusReason);
    QVERIFY(lw.w().rotationList->hasFocus());
    QCOMPARE(lw.list().currentRow(), -1);
    QCOMPARE(lw.w().rotationList->currentRow(), -1);
    QCOMPARE(chosen.size(), 0);
    // The keyboard then moves through the rows as usual.
    QTest::keyClick(lw.w().rotationList, Qt::Key_Down);
    QVERIFY(lw.list().currentRow() >= 0);
    QCOMPARE(chosen.size(), 1);
}

void SelectionListTest::removingLeavesNoCurrentRowAndKeepsOrder() {
    ListedWindow lw(4);
    const QStringList before = paths(lw.list());
    lw.list().setDisplayName(2, QStringLiteral("name2"));
    lw.list().makeCurrent(1);
    QSignalSpy chosen(&lw.list(), &SelectionList::rowChosen);
    lw.w().removeButton->click();
    QCOMPARE(paths(lw.list()), (QStringList{before[0], before[2], before[3]}));
    QCOMPARE(lw.list().displayName(1), QStringLiteral("name2"));
    for (ExtentListView* l : {lw.w().pathList, lw.w().rotationList, lw.w().displayNameList}) {
        QCOMPARE(l->count(), 3);
        QCOMPARE(l->currentRow(), -1);
        QVERIFY(l->selectedRows().empty());
    }
    QCOMPARE(chosen.size(), 0);
    // Choosing a row afterwards works as before.
    lw.w().rotationList->setCurrentRow(1);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(lw.list().currentRow(), 1);
}

void SelectionListTest::removeWithoutCurrentRowDoesNothing() {
    ListedWindow lw(3);
    lw.w().removeButton->click();
    QCOMPARE(lw.list().rowCount(), 3);
}

void SelectionListTest::fieldReplacementKeepsTheRowInPlace() {
    ListedWindow lw(3);
    SelectionList& list = lw.list();
    const QString first = list.path(0);
    list.setPath(1, QStringLiteral("/p/renamed.jpg"));
    list.setRotation(1, QStringLiteral("270"));
    list.setDisplayName(1, QStringLiteral("名前"));
    QCOMPARE(list.path(0), first);
    QCOMPARE(list.path(1), QStringLiteral("/p/renamed.jpg"));
    QCOMPARE(lw.w().rotationList->text(1), QStringLiteral("270"));
    QCOMPARE(lw.w().displayNameList->text(1), QStringLiteral("名前"));
    QCOMPARE(list.rowCount(), 3);
    // Out-of-range rows are refused, not crashed on.
    list.setPath(7, QStringLiteral("x"));
    QCOMPARE(list.path(7), QString());
    QCOMPARE(list.rowCount(), 3);
}

void SelectionListTest::fileClickAsksThePreview() {
    WindowFixture f;
    MainWindow& w = f.start();
    openFolder(w, QStringLiteral("/"));
    w.fileList->setCurrentRow(0);
    emit w.fileList->itemClicked(w.fileList->item(0));
    QCOMPARE(f.preview.clicked, QStringList{QStringLiteral("/root.jpg")});
    QVERIFY(w.selectionList().rowCount() == 0);
}

// Key 0 stands for a click on the fourth file.
void SelectionListTest::keyboardMovesInTheFileListPreview_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("previewed"); // empty: nothing previewed
    QTest::newRow("down") << int(Qt::Key_Down) << int(Qt::NoModifier)
                          << QStringLiteral("/home/u/photos/d.Gif");
    QTest::newRow("end") << int(Qt::Key_End) << int(Qt::NoModifier)
                         << QStringLiteral("/home/u/photos/m.avif");
    QTest::newRow("shift+down, extending the selection")
        << int(Qt::Key_Down) << int(Qt::ShiftModifier) << QStringLiteral("/home/u/photos/d.Gif");
    QTest::newRow("typing a name")
        << int(Qt::Key_F) << int(Qt::NoModifier) << QStringLiteral("/home/u/photos/f.wmf");
    QTest::newRow("home on the first") << int(Qt::Key_Home) << int(Qt::NoModifier) << QString();
    QTest::newRow("mouse click, once")
        << 0 << int(Qt::NoModifier) << QStringLiteral("/home/u/photos/e.emf");
    QTest::newRow("ctrl+space, no move")
        << int(Qt::Key_Space) << int(Qt::ControlModifier) << QString();
}

void SelectionListTest::keyboardMovesInTheFileListPreview() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, previewed);
    WindowFixture f;
    MainWindow& w = f.start();
    openFolder(w, QStringLiteral("/home/u/photos"));
    w.fileList->setCurrentRow(key == Qt::Key_Home ? 0 : 1); // a.jpg or B.JPG
    f.preview.clicked.clear();
    if (key == 0) {
        w.fileList->show();
        QTest::mouseClick(w.fileList->viewport(), Qt::LeftButton, {},
                          w.fileList->visualItemRect(w.fileList->item(3)).center());
    } else {
        QTest::keyClick(w.fileList, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    }
    QCOMPARE(f.preview.clicked, previewed.isEmpty() ? QStringList() : QStringList{previewed});
    QVERIFY(w.selectionList().rowCount() == 0);
}

void SelectionListTest::nameDialogStartsWithTheFileName() {
    ListedWindow lw(2);
    lw.list().setDisplayName(1, QStringLiteral("earlier name"));
    lw.list().makeCurrent(1);
    emit lw.w().displayNameList->listDoubleClicked();
    tav::NameDialog& dialog = lw.w().nameDialog();
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.isModal());
    const QString fileName = lw.list().path(1).section(QLatin1Char('/'), -1);
    QCOMPARE(dialog.nameEdit->text(), fileName);
    QCOMPARE(dialog.nameBeforeEditing(), fileName);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ファイル名の変更"));
}

void SelectionListTest::nameDialogWritesOnlyAChangedName() {
    ListedWindow lw(2);
    tav::NameDialog& dialog = lw.w().nameDialog();
    lw.list().setDisplayName(0, QStringLiteral("kept"));
    lw.list().makeCurrent(0);
    dialog.openForCurrentRow();
    dialog.setButton->click(); // unchanged text: nothing written
    QVERIFY(!dialog.isVisible());
    QCOMPARE(lw.list().displayName(0), QStringLiteral("kept"));
    lw.list().makeCurrent(1);
    dialog.openForCurrentRow();
    dialog.setButton->click();
    QCOMPARE(lw.list().displayName(1), QStringLiteral("ファイル名と同じ"));
    dialog.openForCurrentRow();
    dialog.nameEdit->setText(QStringLiteral(" 外壁 北面 "));
    dialog.setButton->click();
    QCOMPARE(lw.list().displayName(1), QStringLiteral(" 外壁 北面 "));
    QCOMPARE(lw.w().displayNameList->text(1), QStringLiteral(" 外壁 北面 "));
    dialog.openForCurrentRow();
    dialog.nameEdit->setText(QStringLiteral("changed"));
    dialog.cancelButton->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(lw.list().displayName(1), QStringLiteral(" 外壁 北面 "));
}

void SelectionListTest::nameDialogWritesToTheRowCurrentAtSet() {
    ListedWindow lw(3);
    tav::NameDialog& dialog = lw.w().nameDialog();
    lw.list().makeCurrent(0);
    dialog.openForCurrentRow();
    dialog.nameEdit->setText(QStringLiteral("for row 2"));
    lw.w().displayNameList->setCurrentRow(2); // the user picks another row meanwhile
    dialog.setButton->click();
    QCOMPARE(lw.list().displayName(0), QStringLiteral("ファイル名と同じ"));
    QCOMPARE(lw.list().displayName(2), QStringLiteral("for row 2"));
}

void SelectionListTest::dialogsWithoutCurrentRowWriteNothing() {
    ListedWindow lw(2);
    tav::NameDialog& name = lw.w().nameDialog();
    tav::RotationDialog& round = lw.w().rotationDialog();
    lw.list().makeCurrent(1);
    name.openForCurrentRow();
    round.openForCurrentRow();
    lw.w().removeButton->click(); // the row goes while the dialogs are open
    name.nameEdit->setText(QStringLiteral("orphan"));
    round.codeCombo->setEditText(QStringLiteral("270"));
    name.setButton->click();
    round.setButton->click();
    QVERIFY(!name.isVisible() && !round.isVisible());
    QCOMPARE(lw.list().rowCount(), 1);
    QCOMPARE(lw.list().displayName(0), QStringLiteral("ファイル名と同じ"));
    QCOMPARE(lw.list().rotation(0), QStringLiteral("  0"));
    QVERIFY(lw.f.preview.shown.isEmpty());
}

void SelectionListTest::dialogsIgnoreEnterAndEscape() {
    ListedWindow lw(1);
    lw.list().makeCurrent(0);
    tav::NameDialog& name = lw.w().nameDialog();
    name.openForCurrentRow();
    name.nameEdit->setText(QStringLiteral("typed"));
    QTest::keyClick(name.nameEdit, Qt::Key_Return);
    QTest::keyClick(name.nameEdit, Qt::Key_Escape);
    QVERIFY(name.isVisible());
    QCOMPARE(lw.list().displayName(0), QStringLiteral("ファイル名と同じ"));
    tav::RotationDialog& round = lw.w().rotationDialog();
    round.openForCurrentRow();
    QTest::keyClick(round.codeCombo, Qt::Key_Escape);
    QVERIFY(round.isVisible());
    QVERIFY(lw.f.preview.shown.isEmpty());
}

void SelectionListTest::roundDialogWritesCodeAndRedrawsOnce() {
    ListedWindow lw(3);
    lw.list().setRotation(1, QStringLiteral("180"));
    lw.list().makeCurrent(1);
    emit lw.w().rotationList->listDoubleClicked();
    tav::RotationDialog& dialog = lw.w().rotationDialog();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.codeCombo->currentText(), QStringLiteral("180"));
    QCOMPARE(dialog.codeCombo->count(), 4);
    dialog.codeCombo->setCurrentIndex(1);
    lw.f.preview.chosen.clear();
    dialog.setButton->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(lw.list().rotation(1), QStringLiteral(" 90"));
    QCOMPARE(lw.w().rotationList->text(1), QStringLiteral(" 90"));
    QCOMPARE(lw.f.preview.shown, QStringList{lw.list().path(1) + QStringLiteral("| 90")});
    QVERIFY(lw.f.preview.chosen.isEmpty());
    // A typed code is written as it stands.
    dialog.openForCurrentRow();
    dialog.codeCombo->setEditText(QStringLiteral("45"));
    dialog.setButton->click();
    QCOMPARE(lw.list().rotation(1), QStringLiteral("45"));
    QCOMPARE(lw.f.preview.shown.size(), 2);
}

void SelectionListTest::roundDialogSetDoesNotRunInsideItself() {
    ListedWindow lw(3);
    tav::RotationDialog& dialog = lw.w().rotationDialog();
    lw.list().makeCurrent(1);
    dialog.openForCurrentRow();
    dialog.codeCombo->setEditText(QStringLiteral(" 90"));
    // A second click on 設定 is waiting, and the user chose another row meanwhile; both
    // reach the dialog while the preview processes events.
    lw.f.preview.whileShowing = [&] {
        lw.f.preview.whileShowing = nullptr; // once
        lw.list().makeCurrent(2);
        QCoreApplication::postEvent(dialog.setButton,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, {}));
        QCoreApplication::postEvent(dialog.setButton,
                                    new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, {}));
        QCoreApplication::processEvents();
    };
    dialog.setButton->click();
    QCOMPARE(lw.f.preview.shown, QStringList{lw.list().path(1) + QStringLiteral("| 90")});
    QCOMPARE(lw.list().rotation(1), QStringLiteral(" 90"));
    QCOMPARE(lw.list().rotation(2), lw.list().rotation(0)); // untouched
    QVERIFY(!dialog.isVisible());
}

void SelectionListTest::roundDialogCancelChangesNothing() {
    ListedWindow lw(2);
    lw.list().makeCurrent(0);
    tav::RotationDialog& dialog = lw.w().rotationDialog();
    dialog.openForCurrentRow();
    dialog.codeCombo->setCurrentIndex(3);
    dialog.cancelButton->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(lw.list().rotation(0), QStringLiteral("  0"));
    QVERIFY(lw.f.preview.shown.isEmpty());
}

using Order = std::vector<int>;

// Orders as the model takes them: order[new place] = old place.
void SelectionListTest::blockMoveOrders_data() {
    QTest::addColumn<Order>("selected");
    QTest::addColumn<int>("step");   // a key move up (-1) or down (+1); 0: a drop
    QTest::addColumn<int>("before"); // the drop place
    QTest::addColumn<Order>("expected");
    QTest::newRow("one row down to the end") << Order{1} << 0 << 5 << Order{0, 2, 3, 4, 1};
    QTest::newRow("one row to the top") << Order{3} << 0 << 0 << Order{3, 0, 1, 2, 4};
    QTest::newRow("block, order kept") << Order{3, 1} << 0 << 5 << Order{0, 2, 4, 1, 3};
    QTest::newRow("onto itself: unchanged") << Order{1, 2} << 0 << 2 << Order{0, 1, 2, 3, 4};
    QTest::newRow("past the end: clamped") << Order{0} << 0 << 99 << Order{1, 2, 3, 4, 0};
    QTest::newRow("up one") << Order{2, 3} << -1 << 0 << Order{0, 2, 3, 1, 4};
    QTest::newRow("down one") << Order{2, 3} << 1 << 0 << Order{0, 1, 4, 2, 3};
    QTest::newRow("up at the top: unchanged") << Order{0, 1} << -1 << 0 << Order{0, 1, 2, 3, 4};
    QTest::newRow("down at the end: unchanged") << Order{4} << 1 << 0 << Order{0, 1, 2, 3, 4};
    QTest::newRow("apart rows gather, then one up")
        << Order{1, 4} << -1 << 0 << Order{1, 4, 0, 2, 3};
    QTest::newRow("nothing selected") << Order{} << 1 << 0 << Order{0, 1, 2, 3, 4};
}

void SelectionListTest::blockMoveOrders() {
    QFETCH(Order, selected);
    QFETCH(int, step);
    QFETCH(int, before);
    QFETCH(Order, expected);
    const Order order = step != 0 ? tav::stepMoveOrder(5, selected, step)
                                  : tav::blockMoveOrder(5, selected, before);
    QCOMPARE(order, expected);
    // The inverse takes every row back.
    const Order back = tav::inverseOrder(order);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(order[static_cast<std::size_t>(back[static_cast<std::size_t>(i)])], i);
    }
}

namespace {

// A drag from a file manager or another list entering `view`, moving to `at` and
// dropped there, as the platform delivers it. Returns the drop's final action.
Qt::DropAction dragAndDrop(ExtentListView* view, const QPoint& at, const QMimeData& data) {
    QWidget* target = view->viewport();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &drop);
    return drop.dropAction();
}

// The list as text, one row "path|rotation|name|note" each.
QStringList snapshot(const SelectionList& list) {
    QStringList out;
    for (const tav::PhotoRow& r : list.rows()) {
        out.push_back(QStringList{r.path, r.rotation, r.displayName, r.note}.join(u'|'));
    }
    return out;
}

} // namespace

void SelectionListTest::everyChangeIsUndoneAndRedone_data() {
    QTest::addColumn<QString>("change");
    for (const char* change :
         {"register", "remove", "clear", "move", "sort", "rotation", "name", "note", "open"}) {
        QTest::newRow(change) << QString::fromLatin1(change);
    }
}

void SelectionListTest::everyChangeIsUndoneAndRedone() {
    QFETCH(QString, change);
    ListedWindow lw(4);
    SelectionList& list = lw.list();
    list.undoStack().clear();
    list.makeCurrent(1);
    const QStringList before = snapshot(list);
    const std::map<QString, std::function<void()>> changes{
        {QStringLiteral("register"),
         [&] {
             list.registerFiles(QStringLiteral("/q"), {QStringLiteral("n.jpg")},
                                QStringLiteral(" 90"));
         }},
        {QStringLiteral("remove"), [&] { lw.w().removeButton->click(); }},
        {QStringLiteral("clear"), [&] { lw.w().clearButton->click(); }},
        {QStringLiteral("move"), [&] { lw.w().moveUpButton->click(); }},
        {QStringLiteral("sort"), [&] { list.sort(tav::RowOrder::Name, true); }},
        {QStringLiteral("rotation"), [&] { list.setRotation(2, QStringLiteral("270")); }},
        {QStringLiteral("name"), [&] { list.setDisplayName(0, QStringLiteral("北面")); }},
        {QStringLiteral("note"), [&] { list.setNote(3, QStringLiteral("ひび\n幅0.3mm")); }},
        {QStringLiteral("open"), [&] {
             list.replaceRows({{QStringLiteral("/r/x.jpg"), QStringLiteral("180"),
                                QStringLiteral("x"), QStringLiteral("メモ"), true}});
         }}};
    changes.at(change)();
    const QStringList after = snapshot(list);
    QVERIFY(after != before);
    QCOMPARE(list.undoStack().count(), 1); // one step, however many rows it touched
    QVERIFY(lw.w().undoButton->isEnabled());
    lw.w().undoButton->click();
    QCOMPARE(snapshot(list), before);
    QVERIFY(!lw.w().undoButton->isEnabled());
    QVERIFY(lw.w().redoButton->isEnabled());
    lw.w().redoButton->click();
    QCOMPARE(snapshot(list), after);
    // The three lists show the model as it is now.
    QCOMPARE(lw.w().rotationList->count(), list.rowCount());
    for (int row = 0; row < list.rowCount(); ++row) {
        QCOMPARE(lw.w().pathList->text(row), list.path(row));
        QCOMPARE(lw.w().rotationList->text(row), list.rotation(row));
        QCOMPARE(lw.w().displayNameList->text(row), list.displayName(row));
    }
}

void SelectionListTest::sortingOrdersByNaturalNameOrDate() {
    QTemporaryDir dir;
    const QDateTime base(QDate(2026, 12, 7), QTime(10, 15));
    // File name and modification time (minutes after `base`); no file for "gone".
    const std::pair<const char*, int> files[] = {
        {"IMG_10.jpg", 1}, {"img_2.jpg", 3}, {"IMG_1.jpg", 2}, {"gone.jpg", -1}};
    QStringList names;
    for (const auto& [name, minutes] : files) {
        names.push_back(QLatin1String(name));
        if (minutes < 0) {
            continue;
        }
        QFile f(dir.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.setFileTime(base.addSecs(60 * minutes), QFileDevice::FileModificationTime));
    }
    WindowFixture f;
    SelectionList& list = f.start().selectionList();
    list.registerFiles(dir.path(), names, QStringLiteral("  0"));
    list.makeCurrent(0); // IMG_10.jpg
    const auto fileNames = [&] {
        QStringList out;
        for (const QString& p : paths(list)) {
            out.push_back(p.section(u'/', -1));
        }
        return out.join(u' ');
    };
    list.sort(tav::RowOrder::Name, false);
    QCOMPARE(fileNames(), QStringLiteral("gone.jpg IMG_1.jpg img_2.jpg IMG_10.jpg"));
    QCOMPARE(list.path(list.currentRow()).section(u'/', -1), QStringLiteral("IMG_10.jpg"));
    list.sort(tav::RowOrder::Name, true);
    QCOMPARE(fileNames(), QStringLiteral("IMG_10.jpg img_2.jpg IMG_1.jpg gone.jpg"));
    list.sort(tav::RowOrder::DateTaken, false); // a row without any date goes last
    QCOMPARE(fileNames(), QStringLiteral("IMG_10.jpg IMG_1.jpg img_2.jpg gone.jpg"));
}

void SelectionListTest::draggingRowsMovesThemAsABlock() {
    ListedWindow lw(6);
    lw.w().show();
    QVERIFY(QTest::qWaitForWindowExposed(&lw.w()));
    SelectionList& list = lw.list();
    const QStringList before = paths(list);
    ExtentListView* names = lw.w().displayNameList;
    // Rows 1 and 3 selected in one list, dragged, dropped on the lower half of row 4
    // of another.
    QTest::mouseClick(lw.w().pathList->viewport(), Qt::LeftButton, {},
                      lw.w().pathList->visualRect(list.model().index(1)).center());
    QTest::mouseClick(lw.w().pathList->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      lw.w().pathList->visualRect(list.model().index(3)).center());
    QCOMPARE(list.selectedRows(), (std::vector<int>{1, 3}));
    std::unique_ptr<QMimeData> dragged(
        list.model().mimeData({list.model().index(3), list.model().index(1)}));
    const QRect target = names->visualRect(list.model().index(4));
    const Qt::DropAction action =
        dragAndDrop(names, QPoint(target.center().x(), target.bottom() - 1), *dragged);
    QCOMPARE(paths(list),
             (QStringList{before[0], before[2], before[4], before[1], before[3], before[5]}));
    QCOMPARE(list.selectedRows(), (std::vector<int>{3, 4})); // the rows stay selected
    QCOMPARE(action, Qt::CopyAction);                        // the drag's source removes nothing
    lw.w().undoButton->click();
    QCOMPARE(paths(list), before);
    // Rows of another running copy of the program are not moved.
    QMimeData foreign;
    foreign.setData(tav::PhotoRowModel::RowsMimeType, "1:0");
    dragAndDrop(names, target.center(), foreign);
    QCOMPARE(paths(list), before);
}

void SelectionListTest::droppedFilesAndFoldersRegisterLikeTheButton() {
    WindowFixture f;
    const QString shots = QStringLiteral("/home/u/shots");
    for (const char* name : {"IMG_10.jpg", "IMG_9.JPG", "notes.txt", "IMG_1.png"}) {
        f.fs.addFile(shots, QLatin1String(name));
    }
    f.fs.addFile(shots + QStringLiteral("/deeper"), QStringLiteral("z.jpg"));
    MainWindow& w = f.start();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    SelectionList& list = w.selectionList();
    list.registerFiles(QStringLiteral("/home/u/photos"), {QStringLiteral("a.jpg")},
                       QStringLiteral("  0"));
    w.previewControls.rotation->setEditText(QStringLiteral("180"));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/home/u/photos/a.jpg")), // known
                   QUrl::fromLocalFile(QStringLiteral("/home/u/photos/c.txt")), // no picture
                   QUrl::fromLocalFile(shots),
                   QUrl::fromLocalFile(QStringLiteral("/home/u/photos/h.png"))});
    dragAndDrop(w.rotationList, QPoint(5, 5), files);
    QCOMPARE(
        paths(list),
        (QStringList{QStringLiteral("/home/u/photos/a.jpg"), shots + QStringLiteral("/IMG_1.png"),
                     shots + QStringLiteral("/IMG_9.JPG"), shots + QStringLiteral("/IMG_10.jpg"),
                     QStringLiteral("/home/u/photos/h.png")}));
    QCOMPARE(list.rotation(4), QStringLiteral("180"));
    QCOMPARE(list.displayName(4), QStringLiteral("ファイル名と同じ"));
    QCOMPARE(list.undoStack().count(), 2); // the drop is one step
    QCOMPARE(f.dialogs.messageCount(), 0);
    // Nothing to register is said; an unreadable folder is named.
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/home/u/photos/c.txt"))});
    dragAndDrop(w.pathList, QPoint(5, 5), files);
    QCOMPARE(f.dialogs.messageCount(), 1);
    QCOMPARE(list.rowCount(), 5);
}

void SelectionListTest::keysReachMovesNotesAndUndo() {
    ListedWindow lw(3);
    lw.w().show();
    lw.w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&lw.w()));
    SelectionList& list = lw.list();
    const QStringList before = paths(list);
    lw.w().rotationList->setFocus();
    list.makeCurrent(0);
    QTest::keyClick(lw.w().rotationList, Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(paths(list), (QStringList{before[1], before[0], before[2]}));
    QCOMPARE(list.currentRow(), 1);
    // F2: the note of the current row; 設定 writes it, lines and all.
    QTest::keyClick(lw.w().rotationList, Qt::Key_F2);
    tav::NoteDialog& dialog = lw.w().noteDialog();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.photoLabel->text(), before[0].section(u'/', -1));
    dialog.noteEdit->setPlainText(QStringLiteral("北面\n\tひび割れ"));
    dialog.setButton->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(list.note(1), QStringLiteral("北面\n\tひび割れ"));
    QVERIFY(lw.w()
                .pathList->model()
                ->index(1, 0)
                .data(Qt::ToolTipRole)
                .toString()
                .contains(QStringLiteral("北面")));
    // Ctrl+Z twice: the note, then the move; Ctrl+Y once brings the move back.
    lw.w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&lw.w()));
    QTest::keyClick(lw.w().pathList, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(list.note(1), QString());
    QTest::keyClick(lw.w().pathList, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(paths(list), before);
    QTest::keyClick(lw.w().pathList, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(paths(list), (QStringList{before[1], before[0], before[2]}));
    // The context menu offers the same commands.
    QVERIFY(lw.w().listActions().contextMenu()->actions().contains(lw.w().listActions().editNote));
}

void SelectionListTest::listFileSavesAndOpensTheWholeList() {
    QTemporaryDir dir;
    const QString present = dir.filePath(QStringLiteral("現場_1.jpg"));
    QFile photo(present);
    QVERIFY(photo.open(QIODevice::WriteOnly));
    photo.close();
    ListedWindow lw(2); // photos of the in-memory file system: not on the disk
    SelectionList& list = lw.list();
    list.registerPaths({present}, QStringLiteral("270"));
    list.setDisplayName(0, QStringLiteral("北面\t外壁"));
    list.setNote(0, QStringLiteral("ひび割れ\n幅0.3mm\tC:\\memo"));
    list.setRotation(1, QStringLiteral(" 90"));
    const QStringList saved = snapshot(list);
    auto& dialogs = lw.f.dialogs;
    const QString file = dir.filePath(QStringLiteral("リスト.tsv"));
    dialogs.fileAnswers.push_back(file);
    lw.w().show();
    lw.w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&lw.w()));
    QTest::keyClick(lw.w().pathList, Qt::Key_S, Qt::ControlModifier);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readLine(), QByteArray("path\trotation\tname\tnote\n"));
    QCOMPARE(dialogs.messageCount(), 0);

    lw.w().clearButton->click();
    dialogs.fileAnswers.push_back(file);
    lw.w().openListButton->click();
    QCOMPARE(snapshot(list), saved);
    // The photos that are not there are kept, marked red and said once.
    QCOMPARE(dialogs.messageCount(), 1);
    const QModelIndex first = list.model().index(0);
    const QModelIndex last = list.model().index(2);
    QVERIFY(list.isMissing(0) && list.isMissing(1) && !list.isMissing(2));
    QCOMPARE(first.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
    QVERIFY(!last.data(Qt::ForegroundRole).isValid());
    QVERIFY(last.data(Qt::ToolTipRole).isNull());
    // Opening is one step: undone, the cleared list comes back.
    list.undoStack().undo();
    QCOMPARE(list.rowCount(), 0);
    list.undoStack().redo();

    // A file that is not a list, and a folder that cannot take one: said, nothing lost.
    const QString notAList = dir.filePath(QStringLiteral("memo.txt"));
    QFile other(notAList);
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("名前\t角度\n");
    other.close();
    dialogs.fileAnswers.push_back(notAList);
    lw.w().openListButton->click();
    QCOMPARE(dialogs.messageCount(), 2);
    QCOMPARE(snapshot(list), saved);
    dialogs.fileAnswers.push_back(dir.filePath(QStringLiteral("gone/リスト.tsv")));
    lw.w().saveListButton->click();
    QCOMPARE(dialogs.messageCount(), 3);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("gone"))));
    // Cancelled dialogs change nothing.
    lw.w().openListButton->click();
    lw.w().saveListButton->click();
    QCOMPARE(dialogs.messageCount(), 3);
    QCOMPARE(snapshot(list), saved);
}

QTEST_MAIN(SelectionListTest)
#include "test_selection_list.moc"
