#include "app/main_window.h"

#include "app/extent_list_view.h"
#include "app/file_browser.h"
#include "app/list_actions.h"
#include "app/list_extent.h"
#include "app/preview_port.h"
#include "app/row_dialogs.h"
#include "app/selection_list.h"
#include "app/wait_window.h"
#include "app/window_run_host.h"
#include "generate/generation_run.h"
#include "platform/browser_file_system.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/image/picture_types.h"
#include "platform/paths.h"
#include "platform/profile_strings.h"
#include "platform/twips.h"
#include "platform/xls/engine.h"
#include "settings/about_window.h"
#include "settings/help.h"
#include "settings/program_info.h"
#include "settings/sample_workbooks.h"
#include "settings/target_selection.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>

namespace tav {

namespace {

// Client area of the window in twips.
constexpr int ClientWidth = 10800;
constexpr int ClientHeight = 9510;

QString indexedName(const char* group, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(group)).arg(index);
}

// Names `widget`, gives it `toolTip` (when there is one) and places it, all in twips.
template <class W>
W* placed(W* widget, const QString& name, int left, int top, int width, int height,
          const QString& toolTip = QString()) {
    widget->setObjectName(name);
    if (!toolTip.isEmpty()) {
        widget->setToolTip(toolTip);
    }
    placeTwips(widget, left, top, width, height);
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height, const QString& toolTip = QString()) {
    auto* b = placed(new QPushButton(caption, parent), QLatin1String(name), left, top, width,
                     height, toolTip);
    b->setAutoDefault(false);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, int left, int top,
              int width, int height) {
    return placed(new QLabel(caption, parent), QLatin1String(name), left, top, width, height);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, bool checked,
                    int left, int top, int width, int height) {
    auto* c = placed(new QCheckBox(caption, parent), QLatin1String(name), left, top, width, height);
    c->setChecked(checked);
    return c;
}

QRadioButton* radio(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                    int width, int height, const QString& toolTip = QString()) {
    return placed(new QRadioButton(caption, parent), name, left, top, width, height, toolTip);
}

QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                   const QString& toolTip = QString()) {
    auto* t = placed(new QLineEdit(parent), QLatin1String(name), left, top, width, height, toolTip);
    t->setTextMargins(0, 0, 0, 0);
    return t;
}

// A combo box whose text can also be typed; a typed text is not added to the entries.
QComboBox* editableCombo(QWidget* parent, const char* name, int left, int top, int width,
                         int height, const QString& toolTip = QString()) {
    auto* c = placed(new QComboBox(parent), QLatin1String(name), left, top, width, height, toolTip);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, int left, int top,
                 int width, int height) {
    return placed(new QGroupBox(caption, parent), QLatin1String(name), left, top, width, height);
}

} // namespace

MainWindow::MainWindow(const MainWindowEnvironment& env, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dialogs_(*env.dialogs), fileSystem_(*env.fileSystem), profiles_(*env.profiles),
      programFolder_(env.programFolder) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tavolin v1.1"));
    setFont(programFont());
    setFixedSize(twipsToPixels(ClientWidth), twipsToPixels(ClientHeight));

    buildFileBrowser();
    buildPreview();
    buildCommands();
    buildSelectionList();
    buildListCommands();
    buildWorkbookSettings();
    buildPageLayout();

    browser_ = new FileBrowser(fileSystem_, driveList, folderList, fileList, this);
    browser_->initialize(env.startFolder);
    selection_ = new SelectionList(pathList, rotationList, displayNameList, this);
    nameDialog_ = new NameDialog(*selection_, this);
    rotationDialog_ = new RotationDialog(*selection_, this);
    noteDialog_ = new NoteDialog(*selection_, this);
    waitWindow_ = new WaitWindow(this, previewView->geometry());

    setTabOrderChain();
    connectHandlers();

    // The preview connects its own handlers to the controls it drives.
    previewControls.window = this;
    previewControls.waitNote = waitWindow_;
    ownPreview_ = makePreview(previewControls, dialogs_, this);
    preview_ = ownPreview_.get();

    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }
    authorEdit->setFocus();
}

MainWindow::~MainWindow() {
    // The run and its host refer to the window's controls; end them first.
    run_.reset();
    runHost_.reset();
}

QString MainWindow::settingsFile() const {
    return settingsFilePath(programFolder_);
}

void MainWindow::buildFileBrowser() {
    driveList = placed(new DriveList(this), QStringLiteral("Drive1"), 210, 45, 3375, 315);
    // The caption names every picture type the file list shows; two lines hold them, so
    // the folder list gives up one line's height.
    folderList = placed(new QListWidget(this), QStringLiteral("Dir1"), 210, 405, 3375, 2925);
    QLabel* types =
        label(this, "Label3", QStringLiteral("画像ファイル：( %1 )").arg(pictureTypeNames()), 210,
              3345, 3375, 390);
    types->setWordWrap(true);
    types->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    fileList = placed(
        new FileList(this), QStringLiteral("File1"), 210, 3735, 3375, 2790,
        QStringLiteral("クリックで画像表示、ダブルクリックでファイル選択。複数選択できます"));
}

void MainWindow::buildPreview() {
    auto* view = placed(new QFrame(this), QStringLiteral("Picture1"), 3675, 45, 3200, 2400);
    view->setFrameStyle(QFrame::Box | QFrame::Plain);
    previewView = view;
    // The canvas is the view plus a margin each way; the preview moves it inside the view.
    QWidget* canvas =
        placed(new QWidget(view), QStringLiteral("Picture2"), 0, 0, 3200 + 55, 2400 + 55,
               QStringLiteral(
                   "画像表示します。スクロールバーがある場合、マウスドラッグで画面が移動できます"));
    QPalette grey = canvas->palette();
    grey.setColor(QPalette::Window, QColor(224, 224, 224));
    canvas->setPalette(grey);
    canvas->setAutoFillBackground(true);
    previewControls.canvas = canvas;

    auto* vScroll =
        placed(new QScrollBar(Qt::Vertical, this), QStringLiteral("VScroll1"), 6875, 45, 255, 2400);
    auto* hScroll = placed(new QScrollBar(Qt::Horizontal, this), QStringLiteral("HScroll1"), 3675,
                           2445, 3200, 255);
    for (QScrollBar* bar : {vScroll, hScroll}) {
        bar->setRange(0, 100);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->hide();
    }
    previewControls.verticalScroll = vScroll;
    previewControls.horizontalScroll = hScroll;

    QRadioButton** modes = previewControls.modeButtons;
    modes[2] = radio(this, indexedName("Option1", 2), QStringLiteral("ﾌｨｯﾄ"), 3675, 2475, 855, 240,
                     QStringLiteral("画像全体を画面に合わせて表示します"));
    modes[0] = radio(this, indexedName("Option1", 0), QStringLiteral("ｽｹｰﾙ"), 3675, 2745, 765, 240,
                     QStringLiteral("画像全体を縦横比率を保ち表示します"));
    modes[1] = radio(this, indexedName("Option1", 1), QStringLiteral("実寸"), 4455, 2745, 705, 240,
                     QStringLiteral("指定倍率で実寸表示します"));
    modes[0]->setChecked(true);
    auto* modeGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        modeGroup->addButton(modes[i], i);
    }

    previewControls.magnification = editableCombo(this, "CmbSun", 5175, 2715, 720, 285);
    previewControls.magnification->hide();
    // To the right of the horizontal scroll bar, which shows under the view in the row of
    // the mode buttons.
    previewControls.startUnturned =
        checkBox(this, "ChkStart", QStringLiteral("初めは0度"), true, 6885, 2475, 1350, 240);
    label(this, "Label6", QStringLiteral("回転"), 5925, 2760, 375, 225);
    previewControls.rotation = editableCombo(this, "CmbKaiten", 6300, 2715, 810, 285,
                                             QStringLiteral("画像を回転表示します"));

    auto* information =
        placed(new QPlainTextEdit(this), QStringLiteral("txtTitle"), 3675, 3015, 3195, 525);
    information->document()->setDocumentMargin(1);
    information->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    information->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    information->setTabChangesFocus(true);
    previewControls.information = information;
}

void MainWindow::buildCommands() {
    createButton =
        button(this, "CmdExec", QStringLiteral("画像をExcelに貼り付け作成"), 7425, 45, 3120, 690);
    showWorkbookButton = button(this, "CmdShowExcel", QStringLiteral("作成したExcelファイルを見る"),
                                7425, 795, 3120, 450);
    showWorkbookButton->setEnabled(false);
    progressBar =
        placed(new QProgressBar(this), QStringLiteral("progressBar"), 7425, 1350, 1560, 300);
    progressBar->setTextVisible(true);
    progressBar->hide();
    helpButton = button(this, "CmdHelp", QStringLiteral("Help"), 9105, 1305, 1440, 405);
    aboutButton = button(this, "CmdVer", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"), 9105, 1770, 1440, 405);
    quitButton = button(this, "CmdEnd", QStringLiteral("終　　了"), 9105, 2250, 1440, 495);
}

void MainWindow::buildSelectionList() {
    addButton = button(
        this, "CmdIn", QStringLiteral(">"), 3660, 3780, 540, 420,
        QStringLiteral("画像ファイルを選択エリアに登録します。複数選択ファイルに対応します"));
    removeButton = button(this, "CmdOut", QStringLiteral("<"), 3660, 4290, 540, 420,
                          QStringLiteral("選択を解除します"));
    clearButton = button(this, "CmdAllClear", QStringLiteral("<<"), 3660, 6120, 540, 405,
                         QStringLiteral("選択を全解除します"));
    label(this, "Label4", QStringLiteral("選択ファイル："), 4260, 3570, 1800, 195);
    label(this, "Label2", QStringLiteral("時計回り"), 6930, 3375, 915, 195);
    label(this, "Label1", QStringLiteral("回転角(度)"), 6930, 3570, 900, 195);
    label(this, "Label5", QStringLiteral("表示名："), 7830, 3570, 900, 195);
    renameFilesCheck = checkBox(this, "ChkNameChange", QStringLiteral("元の名前も変更"), false,
                                8880, 3525, 1695, 240);

    pathList = placed(new ExtentListView(this), QStringLiteral("lstGazoFile"), 4260, 3780, 2670,
                      2745, QStringLiteral("Excelに貼り付ける選択された画像ファイル名です"));
    rotationList = placed(new ExtentListView(this), QStringLiteral("lstChk"), 6930, 3780, 900, 2745,
                          QStringLiteral("回転処理です。ダブルクリックで変更できます"));
    displayNameList =
        placed(new ExtentListView(this), QStringLiteral("lst2ndName"), 7830, 3780, 2745, 2745,
               QStringLiteral("Ｅｘｃｅｌで表示するファイル名です。ダブルクリックで変更できます"));
}

void MainWindow::buildListCommands() {
    // In the column of the list buttons, between "<" and "<<".
    moveUpButton = button(this, "CmdMoveUp", QStringLiteral("▲"), 3660, 4785, 540, 315,
                          QStringLiteral("選んだ行を上へ移動します (Ctrl+↑)"));
    moveDownButton = button(this, "CmdMoveDown", QStringLiteral("▼"), 3660, 5130, 540, 315,
                            QStringLiteral("選んだ行を下へ移動します (Ctrl+↓)"));
    undoButton = button(this, "CmdUndo", QStringLiteral("↶"), 3660, 5460, 540, 315,
                        QStringLiteral("リストの変更を元に戻します (Ctrl+Z)"));
    redoButton = button(this, "CmdRedo", QStringLiteral("↷"), 3660, 5790, 540, 315,
                        QStringLiteral("元に戻した変更をやり直します (Ctrl+Y)"));
    // Under the run's buttons, beside Help.
    saveListButton = button(this, "CmdSaveList", QStringLiteral("リストを保存"), 7425, 1710, 1620,
                            330, QStringLiteral("選択リストをファイルに保存します (Ctrl+S)"));
    openListButton = button(this, "CmdOpenList", QStringLiteral("リストを開く"), 7425, 2070, 1620,
                            330, QStringLiteral("保存した選択リストを開きます (Ctrl+O)"));
    sortButton = button(this, "CmdSort", QStringLiteral("並べ替え"), 9105, 2835, 1440, 330,
                        QStringLiteral("選択リスト全体をファイル名順・撮影日順に並べ替えます"));
    dateNotesCheck = checkBox(this, "ChkDateNote", QStringLiteral("空のメモに撮影日"), false, 7185,
                              2790, 1860, 240);
    dateNotesCheck->setToolTip(QStringLiteral("メモが空の写真には、ノート欄に撮影日を印刷します"));
}

void MainWindow::buildWorkbookSettings() {
    QGroupBox* frame1 = frame(this, "Frame1", QStringLiteral("Excel設定"), 225, 6525, 4935, 2850);
    recallSettingsCheck = checkBox(frame1, "ChkReUse", QStringLiteral("前回の設定を呼び出す"),
                                   false, 2640, 210, 2175, 255);
    label(frame1, "LblFolder", QStringLiteral("フォルダ名："), 120, 570, 900, 240);
    targetFolderLabel = placed(new QLabel(frame1), QStringLiteral("LblFolderName"), 1020, 540, 3180,
                               285, QStringLiteral("作成するＥｘｃｅｌファイル収納フォルダ"));
    targetFolderLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    targetFolderLabel->setTextFormat(Qt::PlainText);
    targetFolderButton =
        button(frame1, "CmdSetFolder", QStringLiteral("設定"), 4245, 525, 570, 315);

    newWorkbookOption = radio(frame1, QStringLiteral("OptExcelNew"),
                              QStringLiteral("新規ファイル："), 120, 915, 1320, 255);
    newWorkbookOption->setChecked(true);
    workbookNameEdit = textBox(frame1, "txtExcelName", 1440, 900, 3375, 285,
                               QStringLiteral("Ｅｘｃｅｌファイル名"));
    existingWorkbookOption = radio(frame1, QStringLiteral("OptExcelOld"),
                                   QStringLiteral("既存ファイル："), 120, 1245, 1320, 255);
    existingWorkbookOption->setEnabled(false);
    chooseWorkbookButton =
        button(frame1, "CmdSelect", QStringLiteral("選択"), 1440, 1215, 690, 300);
    chooseWorkbookButton->setEnabled(false);

    QGroupBox* frame3 = frame(frame1, "Frame3", QString(), 90, 1545, 4755, 1245);
    label(frame3, "Label7", QStringLiteral("作成者 ："), 90, 75, 900, 240);
    authorEdit = textBox(frame3, "txtOwnerName", 990, 45, 3645, 285,
                         QStringLiteral("Excel作成者名が付けられます"));
    label(frame3, "Label9", QStringLiteral("タイトル："), 90, 360, 900, 240);
    titleEdit = textBox(frame3, "txtExcelTitle", 990, 330, 3645, 285);
    label(frame3, "Label8", QStringLiteral("表題　  ："), 90, 645, 900, 240);
    subjectEdit = textBox(frame3, "txtHyoudai", 990, 615, 3645, 285);
    label(frame3, "Label10", QStringLiteral("コメント ："), 90, 930, 900, 240);
    commentEdit = textBox(frame3, "txtComment", 990, 900, 3645, 285);
}

void MainWindow::buildPageLayout() {
    QGroupBox* frame2 =
        frame(this, "Frame2", QStringLiteral("画像配置の設定"), 5265, 6525, 5280, 2850);
    layoutFamilyOptions[0] = radio(frame2, indexedName("OptList", 0),
                                   QStringLiteral("ノート欄付き"), 120, 255, 1455, 255);
    layoutFamilyOptions[1] = radio(frame2, indexedName("OptList", 1),
                                   QStringLiteral("ノート欄無し"), 2685, 255, 1455, 255);
    layoutFamilyOptions[0]->setChecked(true);
    layoutFamilyGroup_ = new QButtonGroup(this);
    layoutFamilyGroup_->addButton(layoutFamilyOptions[0], 0);
    layoutFamilyGroup_->addButton(layoutFamilyOptions[1], 1);
    withNotesSampleButton =
        button(frame2, "CmdList", QStringLiteral("サンプル"), 1620, 210, 900, 330);
    withoutNotesSampleButton =
        button(frame2, "CmdNoList", QStringLiteral("サンプル"), 4245, 210, 900, 330);
    withoutNotesSampleButton->setEnabled(false);

    withNotesFrame = frame(frame2, "FramList", QString(), 120, 570, 2490, 1605);
    withoutNotesFrame = frame(frame2, "FramNoList", QString(), 2685, 570, 2490, 1605);
    const QString listCaptions[5] = {
        QStringLiteral("縦 ２ 画像 / Ａ４ 縦 用紙"), QStringLiteral("縦 ３ 画像 / Ａ４ 縦 用紙"),
        QStringLiteral("縦 ４ 画像 / Ａ４ 縦 用紙"), QStringLiteral("方形 ４ 画像 / Ａ４縦用紙"),
        QStringLiteral("方形 ６ 画像 / Ａ４縦用紙")};
    const QString noListCaptions[5] = {
        QStringLiteral("縦 ２ 画像 / Ａ４縦用紙"), QStringLiteral("縦 ３ 画像 / Ａ４縦用紙"),
        QStringLiteral("方形 ４ 画像 / Ａ４縦用紙"), QStringLiteral("方形 ６ 画像 / Ａ４縦用紙"),
        QStringLiteral("方形 ８ 画像 / Ａ４縦用紙")};
    auto* listGroup = new QButtonGroup(this);
    auto* noListGroup = new QButtonGroup(this);
    // Index 4 at the top down to index 0 at the bottom.
    for (int i = 0; i < 5; ++i) {
        const int top = 135 + (4 - i) * 285;
        withNotesLayoutOptions[i] = radio(withNotesFrame, indexedName("OptListSelect", i),
                                          listCaptions[i], 90, top, 2370, 255);
        withoutNotesLayoutOptions[i] = radio(withoutNotesFrame, indexedName("OptNoList", i),
                                             noListCaptions[i], 90, top, 2370, 255);
        listGroup->addButton(withNotesLayoutOptions[i], i);
        noListGroup->addButton(withoutNotesLayoutOptions[i], i);
    }
    withNotesLayoutOptions[0]->setChecked(true);
    withoutNotesLayoutOptions[0]->setChecked(true);
    withoutNotesFrame->setEnabled(false);

    pageTitleCheck =
        checkBox(frame2, "ChkMakeTitle", QStringLiteral("各ページにタイトルを表示する"), true, 120,
                 2235, 2550, 255);
    pageNumbersCheck = checkBox(frame2, "ChkMakePage", QStringLiteral("ページ番号を付ける"), true,
                                2685, 2235, 2490, 255);
    fileNameCheck = checkBox(frame2, "ChkMakeFileName", QStringLiteral("ファイル名を付ける"), true,
                             120, 2520, 2550, 255);
    extensionCheck = checkBox(frame2, "ChkMakeKaku", QStringLiteral("拡張子を付ける"), true, 2685,
                              2520, 2490, 255);
}

void MainWindow::setTabOrderChain() {
    QList<QWidget*> chain{authorEdit,
                          titleEdit,
                          subjectEdit,
                          commentEdit,
                          workbookNameEdit,
                          recallSettingsCheck,
                          driveList,
                          folderList,
                          fileList,
                          addButton,
                          removeButton,
                          clearButton,
                          pathList,
                          rotationList,
                          displayNameList,
                          moveUpButton,
                          moveDownButton,
                          undoButton,
                          redoButton,
                          sortButton,
                          saveListButton,
                          openListButton,
                          dateNotesCheck,
                          createButton,
                          showWorkbookButton,
                          layoutFamilyOptions[0],
                          layoutFamilyOptions[1]};
    for (QRadioButton* r : withNotesLayoutOptions) {
        chain.push_back(r);
    }
    for (QRadioButton* r : withoutNotesLayoutOptions) {
        chain.push_back(r);
    }
    chain += {pageTitleCheck,
              fileNameCheck,
              extensionCheck,
              previewControls.information,
              renameFilesCheck,
              newWorkbookOption,
              existingWorkbookOption,
              chooseWorkbookButton,
              targetFolderButton,
              previewControls.modeButtons[0],
              previewControls.modeButtons[1],
              previewControls.modeButtons[2],
              previewControls.magnification,
              quitButton,
              previewView,
              previewControls.canvas,
              previewControls.horizontalScroll,
              previewControls.verticalScroll,
              previewControls.rotation,
              previewControls.startUnturned,
              withNotesSampleButton,
              withoutNotesSampleButton,
              pageNumbersCheck,
              helpButton,
              aboutButton};
    for (qsizetype i = 0; i + 1 < chain.size(); ++i) {
        setTabOrder(chain[i], chain[i + 1]);
    }
}

void MainWindow::connectHandlers() {
    connect(quitButton, &QPushButton::clicked, this, &QWidget::close);
    connect(browser_, &FileBrowser::folderChanged, this, &MainWindow::onFolderChanged);
    connect(recallSettingsCheck, &QCheckBox::clicked, this, &MainWindow::onRecallClicked);
    connect(targetFolderButton, &QPushButton::clicked, this, &MainWindow::onTargetFolderClicked);
    connect(layoutFamilyGroup_, &QButtonGroup::idClicked, this, &MainWindow::onLayoutFamilyClicked);
    connect(fileNameCheck, &QCheckBox::toggled, extensionCheck, &QWidget::setEnabled);

    connect(addButton, &QPushButton::clicked, this, &MainWindow::registerSelectedFiles);
    connect(fileList, &QListWidget::itemDoubleClicked, this, &MainWindow::registerSelectedFiles);
    // A click, and a move to another file with the keyboard, preview it.
    connect(fileList, &FileList::fileChosen, this, &MainWindow::onFileClicked);
    connect(removeButton, &QPushButton::clicked, selection_, &SelectionList::removeCurrent);
    connect(clearButton, &QPushButton::clicked, selection_, &SelectionList::clear);
    connect(selection_, &SelectionList::rowChosen, this, &MainWindow::onRowChosen);
    connect(rotationList, &ExtentListView::listDoubleClicked, rotationDialog_,
            &RotationDialog::openForCurrentRow);
    connect(displayNameList, &ExtentListView::listDoubleClicked, nameDialog_,
            &NameDialog::openForCurrentRow);
    connectListCommands();
    connect(rotationDialog_, &RotationDialog::redrawRequested, this,
            [this](const QString& path, const QString& code) {
                if (preview_) {
                    preview_->showPicture(path, code);
                }
            });

    runHost_ = std::make_unique<WindowRunHost>(*this);
    run_ = std::make_unique<GenerationRun>(*runHost_);
    connect(createButton, &QPushButton::clicked, this, &MainWindow::onCreateClicked);
    connect(showWorkbookButton, &QPushButton::clicked, this, &MainWindow::onShowWorkbookClicked);
    connect(withNotesSampleButton, &QPushButton::clicked, this, [this] {
        openSampleWorkbook(SampleKind::WithNotes, programFolder_, dialogs_, this, engineFactory(),
                           spreadsheetApp_);
    });
    connect(withoutNotesSampleButton, &QPushButton::clicked, this, [this] {
        openSampleWorkbook(SampleKind::WithoutNotes, programFolder_, dialogs_, this,
                           engineFactory(), spreadsheetApp_);
    });
    connect(helpButton, &QPushButton::clicked, this, [this] { openHelpFile(programFolder_); });
    connect(aboutButton, &QPushButton::clicked, this,
            [this] { showAboutWindow(about_, this, dialogs_); });
    connect(this, &MainWindow::releasing, this, [this] { spreadsheetApp_.reset(); });
}

void MainWindow::connectListCommands() {
    ListActionsContext context;
    context.list = selection_;
    context.noteDialog = noteDialog_;
    context.dialogs = &dialogs_;
    context.fileSystem = &fileSystem_;
    context.window = this;
    context.rotationCode = [this] { return previewControls.rotation->currentText(); };
    context.defaultFolder = [this] { return browser_->folder(); };
    listActions_ = new ListActions(context, this);
    const std::pair<QPushButton*, QAction*> buttons[] = {
        {moveUpButton, listActions_->moveUp},     {moveDownButton, listActions_->moveDown},
        {undoButton, listActions_->undo},         {redoButton, listActions_->redo},
        {saveListButton, listActions_->saveList}, {openListButton, listActions_->openList}};
    for (const auto& [b, a] : buttons) {
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        b->setEnabled(a->isEnabled());
        connect(a, &QAction::enabledChanged, b, &QWidget::setEnabled);
    }
    connect(listActions_->sortByName, &QAction::enabledChanged, sortButton, &QWidget::setEnabled);
    connect(sortButton, &QPushButton::clicked, this, [this] {
        listActions_->sortMenu()->popup(sortButton->mapToGlobal(QPoint(0, sortButton->height())));
    });
    for (ExtentListView* view : {pathList, rotationList, displayNameList}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            listActions_->contextMenu()->popup(view->viewport()->mapToGlobal(at));
        });
        connect(view, &ExtentListView::filesDropped, listActions_, &ListActions::registerDropped);
    }
}

void MainWindow::onCreateClicked() {
    // The run reads each row as it places it, yielding in between: the rows keep their
    // order until it is over. A click while it yields is ignored by the run and must not
    // unlock the list either.
    const bool starting = !run_->isRunning();
    if (starting) {
        listActions_->setRunning(true);
    }
    run_->start(readGenerationJob(*this));
    if (starting) {
        listActions_->setRunning(false);
    }
    // The window was closed while the run worked: the run has stopped, now end.
    if (closeRequested_ && !run_->isRunning()) {
        close();
    }
}

void MainWindow::onShowWorkbookClicked() {
    showResultWorkbook(runHost_->resultWorkbookPath(), dialogs_, this, engineFactory(),
                       spreadsheetApp_, [this] { endWithoutSaving(); });
}

void MainWindow::endWithoutSaving() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true; // a close that follows must not write the settings either
    endProgram();
}

void MainWindow::endProgram() {
    nameDialog_->hide();
    rotationDialog_->hide();
    noteDialog_->hide();
    waitWindow_->hide();
    if (about_) {
        about_->close();
    }
    emit programEnded();
}

void MainWindow::startUp() {
    try {
        // The file list shows the folder list's folder, filtered by the picture pattern.
        browser_->setFileListFolder(browser_->folder());
        resetPreviewControls();
        clearWorkbookFields();
        // The stored values stay in the record until the user recalls them.
        settings_ = loadSettings(profiles_, settingsFile());
        dateNotesCheck->setChecked(settings_.dateNotes == QLatin1String("1"));
        // The drive first (the folder list moves to that drive), then the folder itself.
        browser_->setDrive(settings_.browserFolder);
        browser_->setFolder(settings_.browserFolder);
    } catch (const Error& e) {
        if (e.number() == err::DeviceUnavailable) {
            try {
                browser_->setDrive(QStringLiteral("/"));
                browser_->setFolder(QStringLiteral("/"));
            } catch (const Error&) {
                // Start-up stops here without a message.
            }
        }
    }
}

void MainWindow::resetPreviewControls() {
    previewControls.information->setPlainText(QStringLiteral("ﾌｧｲﾙ日時(容量)\n画像ｻｲｽﾞ"));
    fillMagnifications(*previewControls.magnification);
    fitComboToEntries(*previewControls.magnification);
    fillRotationCodes(*previewControls.rotation);
    fitComboToEntries(*previewControls.rotation);
}

void MainWindow::clearWorkbookFields() {
    newWorkbookOption->setChecked(true);
    chooseWorkbookButton->setEnabled(false);
    workbookNameEdit->clear();
    targetFolderLabel->clear();
    folderFixed_ = false;
    authorEdit->clear();
    titleEdit->clear();
    subjectEdit->clear();
    commentEdit->clear();
}

void MainWindow::shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    emit releasing();
    settings_.targetFolder = targetFolderLabel->text();
    settings_.workbookName = workbookNameEdit->text();
    settings_.author = authorEdit->text();
    settings_.title = titleEdit->text();
    settings_.subject = subjectEdit->text();
    settings_.comment = commentEdit->text();
    settings_.browserFolder = browser_->folder();
    settings_.dateNotes = dateNotesCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    saveSettings(profiles_, settingsFile(), settings_);
    endProgram();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (run_ && run_->isRunning()) {
        // The run is yielding inside CmdExec's handler: it sees the request at its next
        // step, stops, and the handler closes the window again once it has returned.
        closeRequested_ = true;
        event->ignore();
        return;
    }
    shutdown();
    event->accept(); // the close request is never refused, only put off during a run
}

void MainWindow::onFolderChanged(const QString& folder) {
    if (!folderFixed_) {
        targetFolderLabel->setText(folder);
    }
}

void MainWindow::onRecallClicked(bool checked) {
    if (!checked) {
        return; // unticking leaves the fields as they are
    }
    targetFolderLabel->setText(settings_.targetFolder);
    workbookNameEdit->setText(settings_.workbookName);
    authorEdit->setText(settings_.author);
    titleEdit->setText(settings_.title);
    subjectEdit->setText(settings_.subject);
    commentEdit->setText(settings_.comment);
}

void MainWindow::onTargetFolderClicked() {
    const TargetFolderChoice choice = chooseTargetFolder(dialogs_, this, targetFolderLabel->text(),
                                                         browser_->folder(), folderFixed_);
    targetFolderLabel->setText(choice.folder);
    folderFixed_ = choice.folderFixed;
}

void MainWindow::onLayoutFamilyClicked(int index) {
    const LayoutFamilyState state = layoutFamilyState(index);
    withNotesSampleButton->setEnabled(state.withNotesSampleEnabled);
    withoutNotesSampleButton->setEnabled(state.withoutNotesSampleEnabled);
    withNotesFrame->setEnabled(state.withNotesLayoutsEnabled);
    withoutNotesFrame->setEnabled(state.withoutNotesLayoutsEnabled);
}

void MainWindow::registerSelectedFiles() {
    selection_->registerFiles(browser_->fileListFolder(), browser_->selectedFileNames(),
                              previewControls.rotation->currentText());
}

void MainWindow::onRowChosen(int row) {
    if (preview_) {
        preview_->rowChosen(selection_->path(row), selection_->rotation(row));
    }
}

void MainWindow::onFileClicked() {
    QListWidgetItem* item = fileList->currentItem();
    if (preview_ && item) {
        preview_->fileClicked(joinPath(browser_->fileListFolder(), item->text()));
    }
}

} // namespace tav
