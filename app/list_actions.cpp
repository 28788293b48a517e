#include "app/list_actions.h"

#include "app/extent_list_view.h"
#include "app/file_browser.h"
#include "app/row_dialogs.h"
#include "app/selection_list.h"
#include "generate/photo_list.h"
#include "generate/photo_list_file.h"
#include "platform/atomic_file.h"
#include "platform/browser_file_system.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/paths.h"

#include <QAction>
#include <QMenu>
#include <QUndoStack>
#include <QWidget>

#include <algorithm>

namespace tav {

namespace {

const QString kListFilter = QStringLiteral("写真リスト (*.tsv *.txt);;すべてのファイル (*)");

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

QStringList picturesToRegister(BrowserFileSystem& fileSystem, const QStringList& dropped,
                               QStringList* unreadable) {
    QStringList out;
    for (const QString& path : dropped) {
        const QString name = path.section(QLatin1Char('/'), -1);
        bool isFolder = path == QLatin1String("/");
        if (!isFolder) {
            try {
                isFolder = fileSystem.list(parentOf(path)).folders.contains(name);
            } catch (const Error&) {
                // The parent cannot be listed: the folder itself may still be.
                isFolder = false;
            }
        }
        if (!isFolder) {
            if (matchesImagePattern(name)) {
                out.push_back(path);
            }
            continue;
        }
        try {
            QStringList files = fileSystem.list(path).files;
            files.erase(std::remove_if(files.begin(), files.end(),
                                       [](const QString& f) { return !matchesImagePattern(f); }),
                        files.end());
            std::stable_sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
                return naturalCompare(a, b) < 0;
            });
            for (const QString& file : files) {
                out.push_back(joinPath(path, file));
            }
        } catch (const Error&) {
            if (unreadable != nullptr) {
                unreadable->push_back(path);
            }
        }
    }
    return out;
}

ListActions::ListActions(const ListActionsContext& context, QObject* parent)
    : QObject(parent), context_(context) {
    SelectionList& list = *context_.list;
    moveUp = action(QStringLiteral("上へ移動"), QKeySequence(Qt::CTRL | Qt::Key_Up),
                    [&list] { list.moveSelected(-1); });
    moveDown = action(QStringLiteral("下へ移動"), QKeySequence(Qt::CTRL | Qt::Key_Down),
                      [&list] { list.moveSelected(+1); });
    sortByName =
        action(QStringLiteral("ファイル名順"), {}, [&list] { list.sort(RowOrder::Name, false); });
    sortByNameReversed = action(QStringLiteral("ファイル名の逆順"), {},
                                [&list] { list.sort(RowOrder::Name, true); });
    sortByDate = action(QStringLiteral("撮影日順（古い順）"), {},
                        [&list] { list.sort(RowOrder::DateTaken, false); });
    sortByDateReversed = action(QStringLiteral("撮影日順（新しい順）"), {},
                                [&list] { list.sort(RowOrder::DateTaken, true); });
    editNote = action(QStringLiteral("メモを編集..."), QKeySequence(Qt::Key_F2),
                      [this] { context_.noteDialog->openForCurrentRow(); });
    undo = action(QStringLiteral("元に戻す"), QKeySequence(Qt::CTRL | Qt::Key_Z), [&list] {
        if (!list.orderLocked()) {
            list.undoStack().undo();
        }
    });
    redo = action(QStringLiteral("やり直し"), QKeySequence(Qt::CTRL | Qt::Key_Y), [&list] {
        if (!list.orderLocked()) {
            list.undoStack().redo();
        }
    });
    saveList = action(QStringLiteral("リストを保存..."), QKeySequence(Qt::CTRL | Qt::Key_S),
                      [this] { saveListFile(); });
    openList = action(QStringLiteral("リストを開く..."), QKeySequence(Qt::CTRL | Qt::Key_O),
                      [this] { openListFile(); });

    // Undo and redo are offered only when there is something to take back or do again.
    QUndoStack& stack = list.undoStack();
    updateUndoRedo();
    connect(&stack, &QUndoStack::canUndoChanged, this, &ListActions::updateUndoRedo);
    connect(&stack, &QUndoStack::canRedoChanged, this, &ListActions::updateUndoRedo);

    // Moving and the note work in the lists; the rest anywhere in the window.
    for (QAction* a : {moveUp, moveDown, editNote}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        for (ExtentListView* view : {list.pathList(), list.rotationList(), list.nameList()}) {
            view->addAction(a);
        }
    }
    for (QAction* a : {undo, redo, saveList, openList}) {
        a->setShortcutContext(Qt::WindowShortcut);
        context_.window->addAction(a);
    }
    buildMenus();
}

void ListActions::updateUndoRedo() {
    const SelectionList& list = *context_.list;
    undo->setEnabled(!list.orderLocked() && list.undoStack().canUndo());
    redo->setEnabled(!list.orderLocked() && list.undoStack().canRedo());
}

void ListActions::setRunning(bool running) {
    context_.list->setOrderLocked(running);
    for (QAction* a : {moveUp, moveDown, sortByName, sortByNameReversed, sortByDate,
                       sortByDateReversed, openList}) {
        a->setEnabled(!running);
    }
    updateUndoRedo();
}

QAction* ListActions::action(const QString& text, const QKeySequence& key,
                             std::function<void()> run) {
    auto* a = new QAction(text, this);
    a->setShortcut(key);
    connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return a;
}

void ListActions::buildMenus() {
    sortMenu_ = new QMenu(context_.window);
    sortMenu_->addActions({sortByName, sortByNameReversed, sortByDate, sortByDateReversed});
    contextMenu_ = new QMenu(context_.window);
    contextMenu_->addAction(editNote);
    contextMenu_->addSeparator();
    contextMenu_->addActions({moveUp, moveDown});
    QMenu* sorting = contextMenu_->addMenu(QStringLiteral("並べ替え"));
    sorting->addActions(sortMenu_->actions());
    contextMenu_->addSeparator();
    contextMenu_->addActions({undo, redo});
    contextMenu_->addSeparator();
    contextMenu_->addActions({saveList, openList});
}

void ListActions::registerDropped(const QStringList& paths) {
    QStringList unreadable;
    const QStringList pictures = picturesToRegister(*context_.fileSystem, paths, &unreadable);
    const int before = context_.list->rowCount();
    context_.list->registerPaths(pictures, context_.rotationCode());
    if (!unreadable.isEmpty()) {
        context_.dialogs->message(
            context_.window,
            QStringLiteral("次のフォルダを読めませんでした。\n%1").arg(unreadable.join(u'\n')),
            kProgramTitle, MessageIcon::Exclamation);
    } else if (pictures.isEmpty() && context_.list->rowCount() == before) {
        context_.dialogs->message(context_.window,
                                  QStringLiteral("登録できる画像ファイルがありません。"),
                                  kProgramTitle, MessageIcon::Information);
    }
}

QString ListActions::dialogStart() const {
    return listFile_.isEmpty() ? context_.defaultFolder() : listFile_;
}

void ListActions::saveListFile() {
    const QString path =
        context_.dialogs->chooseFile(context_.window, FileChoice::Save,
                                     QStringLiteral("リストを保存"), dialogStart(), kListFilter);
    if (path.isEmpty()) {
        return;
    }
    try {
        writePhotoList(localFileWriter(), path, context_.list->rows());
        listFile_ = path;
    } catch (const Error& e) {
        context_.dialogs->message(
            context_.window,
            QStringLiteral("リストを保存できませんでした。\n%1").arg(e.description()),
            kProgramTitle, MessageIcon::Exclamation);
    }
}

void ListActions::openListFile() {
    const QString path =
        context_.dialogs->chooseFile(context_.window, FileChoice::Open,
                                     QStringLiteral("リストを開く"), dialogStart(), kListFilter);
    if (path.isEmpty()) {
        return;
    }
    std::vector<PhotoRow> rows;
    try {
        rows = readPhotoList(path);
    } catch (const Error& e) {
        context_.dialogs->message(
            context_.window, QStringLiteral("リストを開けませんでした。\n%1").arg(e.description()),
            kProgramTitle, MessageIcon::Exclamation);
        return;
    }
    listFile_ = path;
    context_.list->replaceRows(rows);
    const auto missing =
        std::count_if(rows.begin(), rows.end(), [](const PhotoRow& row) { return row.missing; });
    if (rows.size() > static_cast<std::size_t>(SelectionList::MaxRows)) {
        context_.dialogs->message(
            context_.window,
            QStringLiteral("リストの写真が多すぎます。最初の %1 枚だけを開きました。")
                .arg(SelectionList::MaxRows),
            kProgramTitle, MessageIcon::Exclamation);
    } else if (missing > 0) {
        context_.dialogs->message(
            context_.window,
            QStringLiteral("見つからない写真が %1 枚あります（赤い文字の行）。\n"
                           "写真を元の場所に戻すか、一覧から外してから作成して下さい。")
                .arg(missing),
            kProgramTitle, MessageIcon::Information);
    }
}

} // namespace tav
