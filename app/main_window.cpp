#include "app/main_window.h"

#include "app/extent_list_widget.h"
#include "app/file_browser.h"
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

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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

template <class W> W* named(W* widget, const QString& name, const QString& toolTip = QString()) {
    widget->setObjectName(name);
    if (!toolTip.isEmpty()) {
        widget->setToolTip(toolTip);
    }
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height, const QString& toolTip = QString()) {
    auto* b = named(new QPushButton(caption, parent), QLatin1String(name), toolTip);
    b->setAutoDefault(false);
    placeTwips(b, left, top, width, height);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, int left, int top,
              int width, int height) {
    auto* l = named(new QLabel(caption, parent), QLatin1String(name));
    placeTwips(l, left, top, width, height);
    return l;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, bool checked,
                    int left, int top, int width, int height) {
    auto* c = named(new QCheckBox(caption, parent), QLatin1String(name));
    c->setChecked(checked);
    placeTwips(c, left, top, width, height);
    return c;
}

QRadioButton* radio(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                    int width, int height, const QString& toolTip = QString()) {
    auto* r = named(new QRadioButton(caption, parent), name, toolTip);
    placeTwips(r, left, top, width, height);
    return r;
}

QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                   const QString& toolTip = QString()) {
    auto* t = named(new QLineEdit(parent), QLatin1String(name), toolTip);
    t->setTextMargins(0, 0, 0, 0);
    placeTwips(t, left, top, width, height);
    return t;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, int left, int top,
                 int width, int height) {
    auto* f = named(new QGroupBox(caption, parent), QLatin1String(name));
    placeTwips(f, left, top, width, height);
    return f;
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
    buildWorkbookSettings();
    buildPageLayout();

    browser_ = new FileBrowser(fileSystem_, Drive1, Dir1, File1, this);
    browser_->initialize(env.startFolder);
    selection_ = new SelectionList(lstGazoFile, lstChk, lst2ndName, this);
    frmName_ = new NameDialog(*selection_, this);
    frmRound_ = new RoundDialog(*selection_, this);
    frmWait_ = new WaitWindow(this, Picture1->geometry());

    setTabOrderChain();
    connectHandlers();

    // The preview finds its controls by name and connects its own handlers to them.
    ownPreview_ = makePreview(this, frmWait_, dialogs_, this);
    preview_ = ownPreview_.get();

    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }
    txtOwnerName->setFocus();
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
    Drive1 = named(new DriveList(this), QStringLiteral("Drive1"));
    placeTwips(Drive1, 210, 45, 3375, 315);
    // The caption names every picture type the file list shows; two lines hold them, so
    // the folder list gives up one line's height.
    Dir1 = named(new QListWidget(this), QStringLiteral("Dir1"));
    placeTwips(Dir1, 210, 405, 3375, 2925);
    QLabel* types =
        label(this, "Label3", QStringLiteral("画像ファイル：( %1 )").arg(pictureTypeNames()), 210,
              3345, 3375, 390);
    types->setWordWrap(true);
    types->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    File1 =
        named(new FileList(this), QStringLiteral("File1"),
              QStringLiteral("クリックで画像表示、ダブルクリックでファイル選択。複数選択できます"));
    placeTwips(File1, 210, 3735, 3375, 2790);
}

void MainWindow::buildPreview() {
    auto* view = named(new QFrame(this), QStringLiteral("Picture1"));
    view->setFrameStyle(QFrame::Box | QFrame::Plain);
    placeTwips(view, 3675, 45, 3200, 2400);
    Picture1 = view;
    Picture2 =
        named(new QWidget(view), QStringLiteral("Picture2"),
              QStringLiteral(
                  "画像表示します。スクロールバーがある場合、マウスドラッグで画面が移動できます"));
    placeTwips(Picture2, 0, 0, 3200 + 55, 2400 + 55);
    QPalette grey = Picture2->palette();
    grey.setColor(QPalette::Window, QColor(224, 224, 224));
    Picture2->setPalette(grey);
    Picture2->setAutoFillBackground(true);

    auto* vScroll = named(new QScrollBar(Qt::Vertical, this), QStringLiteral("VScroll1"));
    placeTwips(vScroll, 6875, 45, 255, 2400);
    auto* hScroll = named(new QScrollBar(Qt::Horizontal, this), QStringLiteral("HScroll1"));
    placeTwips(hScroll, 3675, 2445, 3200, 255);
    for (QScrollBar* bar : {vScroll, hScroll}) {
        bar->setRange(0, 100);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->hide();
    }

    Option1[2] = radio(this, indexedName("Option1", 2), QStringLiteral("ﾌｨｯﾄ"), 3675, 2475, 855,
                       240, QStringLiteral("画像全体を画面に合わせて表示します"));
    Option1[0] = radio(this, indexedName("Option1", 0), QStringLiteral("ｽｹｰﾙ"), 3675, 2745, 765,
                       240, QStringLiteral("画像全体を縦横比率を保ち表示します"));
    Option1[1] = radio(this, indexedName("Option1", 1), QStringLiteral("実寸"), 4455, 2745, 705,
                       240, QStringLiteral("指定倍率で実寸表示します"));
    Option1[0]->setChecked(true);
    auto* modes = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        modes->addButton(Option1[i], i);
    }

    CmbSun = named(new QComboBox(this), QStringLiteral("CmbSun"));
    CmbSun->setEditable(true);
    CmbSun->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(CmbSun, 5175, 2715, 720, 285);
    CmbSun->hide();
    // To the right of the horizontal scroll bar, which shows under the view in the row of
    // the mode buttons.
    ChkStart = checkBox(this, "ChkStart", QStringLiteral("初めは0度"), true, 6885, 2475, 1350, 240);
    label(this, "Label6", QStringLiteral("回転"), 5925, 2760, 375, 225);
    CmbKaiten = named(new QComboBox(this), QStringLiteral("CmbKaiten"),
                      QStringLiteral("画像を回転表示します"));
    CmbKaiten->setEditable(true);
    CmbKaiten->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(CmbKaiten, 6300, 2715, 810, 285);

    txtTitle = named(new QPlainTextEdit(this), QStringLiteral("txtTitle"));
    txtTitle->document()->setDocumentMargin(1);
    txtTitle->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtTitle->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtTitle->setTabChangesFocus(true);
    placeTwips(txtTitle, 3675, 3015, 3195, 525);
}

void MainWindow::buildCommands() {
    CmdExec =
        button(this, "CmdExec", QStringLiteral("画像をExcelに貼り付け作成"), 7425, 45, 3120, 690);
    CmdShowExcel = button(this, "CmdShowExcel", QStringLiteral("作成したExcelファイルを見る"), 7425,
                          795, 3120, 450);
    CmdShowExcel->setEnabled(false);
    progressBar = named(new QProgressBar(this), QStringLiteral("progressBar"));
    progressBar->setTextVisible(true);
    placeTwips(progressBar, 7425, 1350, 1560, 300);
    progressBar->hide();
    CmdHelp = button(this, "CmdHelp", QStringLiteral("Help"), 9105, 1305, 1440, 405);
    CmdVer = button(this, "CmdVer", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"), 9105, 1770, 1440, 405);
    CmdEnd = button(this, "CmdEnd", QStringLiteral("終　　了"), 9105, 2250, 1440, 495);
}

void MainWindow::buildSelectionList() {
    CmdIn = button(
        this, "CmdIn", QStringLiteral(">"), 3660, 3780, 540, 420,
        QStringLiteral("画像ファイルを選択エリアに登録します。複数選択ファイルに対応します"));
    CmdOut = button(this, "CmdOut", QStringLiteral("<"), 3660, 4290, 540, 420,
                    QStringLiteral("選択を解除します"));
    CmdAllClear = button(this, "CmdAllClear", QStringLiteral("<<"), 3660, 6120, 540, 405,
                         QStringLiteral("選択を全解除します"));
    label(this, "Label4", QStringLiteral("選択ファイル："), 4260, 3570, 1800, 195);
    label(this, "Label2", QStringLiteral("時計回り"), 6930, 3375, 915, 195);
    label(this, "Label1", QStringLiteral("回転角(度)"), 6930, 3570, 900, 195);
    label(this, "Label5", QStringLiteral("表示名："), 7830, 3570, 900, 195);
    ChkNameChange = checkBox(this, "ChkNameChange", QStringLiteral("元の名前も変更"), false, 8880,
                             3525, 1695, 240);

    lstGazoFile = named(new ExtentListWidget(this), QStringLiteral("lstGazoFile"),
                        QStringLiteral("Excelに貼り付ける選択された画像ファイル名です"));
    placeTwips(lstGazoFile, 4260, 3780, 2670, 2745);
    lstChk = named(new ExtentListWidget(this), QStringLiteral("lstChk"),
                   QStringLiteral("回転処理です。ダブルクリックで変更できます"));
    placeTwips(lstChk, 6930, 3780, 900, 2745);
    lst2ndName =
        named(new ExtentListWidget(this), QStringLiteral("lst2ndName"),
              QStringLiteral("Ｅｘｃｅｌで表示するファイル名です。ダブルクリックで変更できます"));
    placeTwips(lst2ndName, 7830, 3780, 2745, 2745);
}

void MainWindow::buildWorkbookSettings() {
    QGroupBox* frame1 = frame(this, "Frame1", QStringLiteral("Excel設定"), 225, 6525, 4935, 2850);
    ChkReUse = checkBox(frame1, "ChkReUse", QStringLiteral("前回の設定を呼び出す"), false, 2640,
                        210, 2175, 255);
    label(frame1, "LblFolder", QStringLiteral("フォルダ名："), 120, 570, 900, 240);
    LblFolderName = named(new QLabel(frame1), QStringLiteral("LblFolderName"),
                          QStringLiteral("作成するＥｘｃｅｌファイル収納フォルダ"));
    LblFolderName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LblFolderName->setTextFormat(Qt::PlainText);
    placeTwips(LblFolderName, 1020, 540, 3180, 285);
    CmdSetFolder = button(frame1, "CmdSetFolder", QStringLiteral("設定"), 4245, 525, 570, 315);

    OptExcelNew = radio(frame1, QStringLiteral("OptExcelNew"), QStringLiteral("新規ファイル："),
                        120, 915, 1320, 255);
    OptExcelNew->setChecked(true);
    txtExcelName = textBox(frame1, "txtExcelName", 1440, 900, 3375, 285,
                           QStringLiteral("Ｅｘｃｅｌファイル名"));
    OptExcelOld = radio(frame1, QStringLiteral("OptExcelOld"), QStringLiteral("既存ファイル："),
                        120, 1245, 1320, 255);
    OptExcelOld->setEnabled(false);
    CmdSelect = button(frame1, "CmdSelect", QStringLiteral("選択"), 1440, 1215, 690, 300);
    CmdSelect->setEnabled(false);

    auto* frame3 = new QGroupBox(frame1);
    frame3->setObjectName(QStringLiteral("Frame3"));
    placeTwips(frame3, 90, 1545, 4755, 1245);
    label(frame3, "Label7", QStringLiteral("作成者 ："), 90, 75, 900, 240);
    txtOwnerName = textBox(frame3, "txtOwnerName", 990, 45, 3645, 285,
                           QStringLiteral("Excel作成者名が付けられます"));
    label(frame3, "Label9", QStringLiteral("タイトル："), 90, 360, 900, 240);
    txtExcelTitle = textBox(frame3, "txtExcelTitle", 990, 330, 3645, 285);
    label(frame3, "Label8", QStringLiteral("表題　  ："), 90, 645, 900, 240);
    txtHyoudai = textBox(frame3, "txtHyoudai", 990, 615, 3645, 285);
    label(frame3, "Label10", QStringLiteral("コメント ："), 90, 930, 900, 240);
    txtComment = textBox(frame3, "txtComment", 990, 900, 3645, 285);
}

void MainWindow::buildPageLayout() {
    QGroupBox* frame2 =
        frame(this, "Frame2", QStringLiteral("画像配置の設定"), 5265, 6525, 5280, 2850);
    OptList[0] = radio(frame2, indexedName("OptList", 0), QStringLiteral("ノート欄付き"), 120, 255,
                       1455, 255);
    OptList[1] = radio(frame2, indexedName("OptList", 1), QStringLiteral("ノート欄無し"), 2685, 255,
                       1455, 255);
    OptList[0]->setChecked(true);
    optListGroup_ = new QButtonGroup(this);
    optListGroup_->addButton(OptList[0], 0);
    optListGroup_->addButton(OptList[1], 1);
    CmdList = button(frame2, "CmdList", QStringLiteral("サンプル"), 1620, 210, 900, 330);
    CmdNoList = button(frame2, "CmdNoList", QStringLiteral("サンプル"), 4245, 210, 900, 330);
    CmdNoList->setEnabled(false);

    QGroupBox* framList = frame(frame2, "FramList", QString(), 120, 570, 2490, 1605);
    QGroupBox* framNoList = frame(frame2, "FramNoList", QString(), 2685, 570, 2490, 1605);
    FramList = framList;
    FramNoList = framNoList;
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
        OptListSelect[i] =
            radio(framList, indexedName("OptListSelect", i), listCaptions[i], 90, top, 2370, 255);
        OptNoList[i] =
            radio(framNoList, indexedName("OptNoList", i), noListCaptions[i], 90, top, 2370, 255);
        listGroup->addButton(OptListSelect[i], i);
        noListGroup->addButton(OptNoList[i], i);
    }
    OptListSelect[0]->setChecked(true);
    OptNoList[0]->setChecked(true);
    FramNoList->setEnabled(false);

    ChkMakeTitle = checkBox(frame2, "ChkMakeTitle", QStringLiteral("各ページにタイトルを表示する"),
                            true, 120, 2235, 2550, 255);
    ChkMakePage = checkBox(frame2, "ChkMakePage", QStringLiteral("ページ番号を付ける"), true, 2685,
                           2235, 2490, 255);
    ChkMakeFileName = checkBox(frame2, "ChkMakeFileName", QStringLiteral("ファイル名を付ける"),
                               true, 120, 2520, 2550, 255);
    ChkMakeKaku = checkBox(frame2, "ChkMakeKaku", QStringLiteral("拡張子を付ける"), true, 2685,
                           2520, 2490, 255);
}

void MainWindow::setTabOrderChain() {
    QList<QWidget*> chain{txtOwnerName, txtExcelTitle, txtHyoudai,  txtComment, txtExcelName,
                          ChkReUse,     Drive1,        Dir1,        File1,      CmdIn,
                          CmdOut,       CmdAllClear,   lstGazoFile, lstChk,     lst2ndName,
                          CmdExec,      CmdShowExcel,  OptList[0],  OptList[1]};
    for (QRadioButton* r : OptListSelect) {
        chain.push_back(r);
    }
    for (QRadioButton* r : OptNoList) {
        chain.push_back(r);
    }
    chain += {ChkMakeTitle,
              ChkMakeFileName,
              ChkMakeKaku,
              txtTitle,
              ChkNameChange,
              OptExcelNew,
              OptExcelOld,
              CmdSelect,
              CmdSetFolder,
              Option1[0],
              Option1[1],
              Option1[2],
              CmbSun,
              CmdEnd,
              Picture1,
              Picture2,
              findChild<QScrollBar*>(QStringLiteral("HScroll1")),
              findChild<QScrollBar*>(QStringLiteral("VScroll1")),
              CmbKaiten,
              ChkStart,
              CmdList,
              CmdNoList,
              ChkMakePage,
              CmdHelp,
              CmdVer};
    for (qsizetype i = 0; i + 1 < chain.size(); ++i) {
        setTabOrder(chain[i], chain[i + 1]);
    }
}

void MainWindow::connectHandlers() {
    connect(CmdEnd, &QPushButton::clicked, this, &QWidget::close);
    connect(browser_, &FileBrowser::folderChanged, this, &MainWindow::onFolderChanged);
    connect(ChkReUse, &QCheckBox::clicked, this, &MainWindow::onReUseClicked);
    connect(CmdSetFolder, &QPushButton::clicked, this, &MainWindow::onSetFolderClicked);
    connect(optListGroup_, &QButtonGroup::idClicked, this, &MainWindow::onOptListClicked);
    connect(ChkMakeFileName, &QCheckBox::toggled, ChkMakeKaku, &QWidget::setEnabled);

    connect(CmdIn, &QPushButton::clicked, this, &MainWindow::registerSelectedFiles);
    connect(File1, &QListWidget::itemDoubleClicked, this, &MainWindow::registerSelectedFiles);
    // A click, and a move to another file with the keyboard, preview it.
    connect(File1, &FileList::fileChosen, this, &MainWindow::onFileClicked);
    connect(CmdOut, &QPushButton::clicked, selection_, &SelectionList::removeCurrent);
    connect(CmdAllClear, &QPushButton::clicked, selection_, &SelectionList::clear);
    connect(selection_, &SelectionList::rowChosen, this, &MainWindow::onRowChosen);
    connect(lstChk, &ExtentListWidget::listDoubleClicked, frmRound_,
            &RoundDialog::openForCurrentRow);
    connect(lst2ndName, &ExtentListWidget::listDoubleClicked, frmName_,
            &NameDialog::openForCurrentRow);
    connect(frmRound_, &RoundDialog::redrawRequested, this,
            [this](const QString& path, const QString& code) {
                if (preview_) {
                    preview_->showPicture(path, code);
                }
            });

    runHost_ = std::make_unique<WindowRunHost>(*this);
    run_ = std::make_unique<GenerationRun>(*runHost_);
    connect(CmdExec, &QPushButton::clicked, this, &MainWindow::onExecClicked);
    connect(CmdShowExcel, &QPushButton::clicked, this, &MainWindow::onShowExcelClicked);
    connect(CmdList, &QPushButton::clicked, this, [this] {
        openSampleWorkbook(SampleKind::WithNotes, programFolder_, dialogs_, this, engineFactory(),
                           spreadsheetApp_);
    });
    connect(CmdNoList, &QPushButton::clicked, this, [this] {
        openSampleWorkbook(SampleKind::WithoutNotes, programFolder_, dialogs_, this,
                           engineFactory(), spreadsheetApp_);
    });
    connect(CmdHelp, &QPushButton::clicked, this, [this] { openHelpFile(programFolder_); });
    connect(CmdVer, &QPushButton::clicked, this,
            [this] { showAboutWindow(about_, this, dialogs_); });
    connect(this, &MainWindow::releasing, this, [this] { spreadsheetApp_.reset(); });
}

void MainWindow::onExecClicked() {
    run_->start(readGenerationJob(*this));
    // The window was closed while the run worked: the run has stopped, now end.
    if (closeRequested_ && !run_->isRunning()) {
        close();
    }
}

void MainWindow::onShowExcelClicked() {
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
    frmName_->hide();
    frmRound_->hide();
    frmWait_->hide();
    if (about_) {
        about_->close();
    }
    emit programEnded();
}

void MainWindow::startUp() {
    try {
        // 1. The file list shows the folder list's folder, filtered by the image pattern.
        browser_->setFileListFolder(browser_->folder());
        // 2.
        txtTitle->setPlainText(QStringLiteral("ﾌｧｲﾙ日時(容量)\n画像ｻｲｽﾞ"));
        // 3. programFolder_ was given at construction.
        // 4.
        OptExcelNew->setChecked(true);
        CmdSelect->setEnabled(false);
        txtExcelName->clear();
        LblFolderName->clear();
        folderFixed_ = false;
        // 5. Magnifications 0.1 to 0.9, then 1 to 10.
        CmbSun->clear();
        for (int i = 1; i <= 9; ++i) {
            CmbSun->addItem(QStringLiteral("0.%1").arg(i));
        }
        for (int i = 1; i <= 10; ++i) {
            CmbSun->addItem(QString::number(i));
        }
        CmbSun->setEditText(QStringLiteral("1"));
        fitComboToEntries(*CmbSun);
        // 6. Rotation codes.
        CmbKaiten->clear();
        CmbKaiten->addItems({QStringLiteral("  0"), QStringLiteral(" 90"), QStringLiteral("180"),
                             QStringLiteral("270")});
        CmbKaiten->setEditText(QStringLiteral("  0"));
        fitComboToEntries(*CmbKaiten);
        // 7.
        folderFixed_ = false;
        txtOwnerName->clear();
        txtExcelTitle->clear();
        txtHyoudai->clear();
        txtComment->clear();
        // 8. The stored values stay in the record until the user recalls them.
        settings_ = loadSettings(profiles_, settingsFile());
        // 9. Drive first (the folder list moves to that drive), then the folder itself.
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

void MainWindow::shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    emit releasing();
    settings_.targetFolder = LblFolderName->text();
    settings_.workbookName = txtExcelName->text();
    settings_.author = txtOwnerName->text();
    settings_.title = txtExcelTitle->text();
    settings_.subject = txtHyoudai->text();
    settings_.comment = txtComment->text();
    settings_.browserFolder = browser_->folder();
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
        LblFolderName->setText(folder);
    }
}

void MainWindow::onReUseClicked(bool checked) {
    if (!checked) {
        return; // unticking leaves the fields as they are
    }
    LblFolderName->setText(settings_.targetFolder);
    txtExcelName->setText(settings_.workbookName);
    txtOwnerName->setText(settings_.author);
    txtExcelTitle->setText(settings_.title);
    txtHyoudai->setText(settings_.subject);
    txtComment->setText(settings_.comment);
}

void MainWindow::onSetFolderClicked() {
    const TargetFolderChoice choice =
        chooseTargetFolder(dialogs_, this, LblFolderName->text(), browser_->folder(), folderFixed_);
    LblFolderName->setText(choice.folder);
    folderFixed_ = choice.folderFixed;
}

void MainWindow::onOptListClicked(int index) {
    const LayoutFamilyState state = layoutFamilyState(index);
    CmdList->setEnabled(state.cmdList);
    CmdNoList->setEnabled(state.cmdNoList);
    FramList->setEnabled(state.framList);
    FramNoList->setEnabled(state.framNoList);
}

void MainWindow::registerSelectedFiles() {
    selection_->registerFiles(browser_->fileListFolder(), browser_->selectedFileNames(),
                              CmbKaiten->currentText());
}

void MainWindow::onRowChosen(int row) {
    if (preview_) {
        preview_->rowChosen(selection_->path(row), selection_->rotation(row));
    }
}

void MainWindow::onFileClicked() {
    QListWidgetItem* item = File1->currentItem();
    if (preview_ && item) {
        preview_->fileClicked(joinPath(browser_->fileListFolder(), item->text()));
    }
}

} // namespace tav
