#include "app/row_dialogs.h"

#include "app/list_extent.h"
#include "app/selection_list.h"
#include "platform/twips.h"
#include "preview/preview_controls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace tav {

namespace {

constexpr Qt::WindowFlags dialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

QLabel* label(QWidget* parent, const QString& text, int left, int top, int width, int height) {
    auto* l = new QLabel(text, parent);
    placeTwips(l, left, top, width, height);
    return l;
}

// A button that Enter and Escape do not press.
QPushButton* plainButton(QWidget* parent, const char* name, const QString& caption,
                         const QRect& twips) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    b->setDefault(false);
    placeTwips(b, twips.x(), twips.y(), twips.width(), twips.height());
    return b;
}

} // namespace

RowDialog::RowDialog(SelectionList& list, QWidget* parent, const char* name, const QString& title,
                     int widthTwips, int heightTwips)
    : QWidget(parent, dialogFlags), list_(list) {
    setObjectName(QLatin1String(name));
    setWindowTitle(title);
    setFixedSize(twipsToPixels(widthTwips), twipsToPixels(heightTwips));
}

void RowDialog::addButtons(QWidget* field, const QRect& setTwips, const QRect& cancelTwips) {
    setButton = plainButton(this, "CmdSet", QStringLiteral("設定"), setTwips);
    cancelButton = plainButton(this, "CmdCancel", QStringLiteral("ｷｬﾝｾﾙ"), cancelTwips);
    setTabOrder(field, setButton);
    setTabOrder(setButton, cancelButton);
    connect(setButton, &QPushButton::clicked, this, [this] { set(); });
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::hide);
}

void RowDialog::present() {
    show();
    raise();
    activateWindow();
}

NameDialog::NameDialog(SelectionList& list, QWidget* parent)
    : RowDialog(list, parent, "frmName", QStringLiteral("ファイル名の変更"), 4680, 2250) {
    label(this, QStringLiteral("ファイル名："), 180, 135, 1095, 240);
    nameEdit = new QLineEdit(this);
    nameEdit->setObjectName(QStringLiteral("txtFileName"));
    placeTwips(nameEdit, 135, 405, 4335, 285);
    addButtons(nameEdit, QRect(3285, 855, 1185, 510), QRect(3285, 1530, 1185, 510));
}

void NameDialog::openForCurrentRow() {
    const QString path = list_.path(list_.currentRow());
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) {
        nameBefore_ = path.mid(slash + 1);
        nameEdit->setText(nameBefore_);
    }
    present();
}

void NameDialog::set() {
    // The row current at this moment, which may differ from the one the dialog was
    // opened for. Without a current row there is nothing to write to.
    const int row = list_.currentRow();
    const QString text = nameEdit->text();
    if (row >= 0 && text != nameBefore_) {
        list_.setDisplayName(row, text);
    }
    hide();
}

RotationDialog::RotationDialog(SelectionList& list, QWidget* parent)
    : RowDialog(list, parent, "frmRound", QStringLiteral("画像回転角度の設定"), 2355, 1005) {
    label(this, QStringLiteral("時計回り"), 60, 150, 1065, 195);
    label(this, QStringLiteral("回転角度(度)"), 90, 360, 1035, 225);
    codeCombo = new QComboBox(this);
    codeCombo->setObjectName(QStringLiteral("CmbRound"));
    codeCombo->setEditable(true);
    codeCombo->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(codeCombo, 90, 600, 1065, 300);
    addButtons(codeCombo, QRect(1320, 540, 945, 435), QRect(1320, 60, 945, 405));
    // Filled once, when the dialog is created.
    fillRotationCodes(*codeCombo);
    fitComboToEntries(*codeCombo);
}

void RotationDialog::openForCurrentRow() {
    codeCombo->setEditText(list_.rotation(list_.currentRow()));
    present();
}

void RotationDialog::set() {
    // The preview processes pending events while it prepares a picture; a second click
    // on "設定" that waited there must not run this again inside itself, on whatever row
    // is current by then. The dialog closes with this click; that one is dropped.
    if (setting_) {
        return;
    }
    const QScopedValueRollback<bool> inSet(setting_, true);
    const int row = list_.currentRow();
    if (row < 0) {
        hide();
        return;
    }
    list_.setRotation(row, codeCombo->currentText());
    list_.repaintNow(); // the row shows its new code while the preview works
    emit redrawRequested(list_.path(row), list_.rotation(row));
    hide();
}

NoteDialog::NoteDialog(SelectionList& list, QWidget* parent)
    : RowDialog(list, parent, "frmNote", QStringLiteral("メモの編集"), 5760, 2790) {
    photoLabel = label(this, QString(), 180, 135, 5400, 240);
    photoLabel->setObjectName(QStringLiteral("LblPhoto"));
    photoLabel->setTextFormat(Qt::PlainText);
    noteEdit = new QPlainTextEdit(this);
    noteEdit->setObjectName(QStringLiteral("txtNote"));
    noteEdit->setTabChangesFocus(true);
    noteEdit->setToolTip(
        QStringLiteral("ノート欄付きの配置で、画像の横のノート欄に1行ずつ印刷されます"));
    placeTwips(noteEdit, 135, 435, 4215, 2205);
    addButtons(noteEdit, QRect(4455, 435, 1185, 510), QRect(4455, 1110, 1185, 510));
}

void NoteDialog::openForCurrentRow() {
    const int row = list_.currentRow();
    if (row < 0) {
        return;
    }
    photoLabel->setText(list_.path(row).section(QLatin1Char('/'), -1));
    noteEdit->setPlainText(list_.note(row));
    noteEdit->selectAll();
    present();
    noteEdit->setFocus();
}

void NoteDialog::set() {
    // Like the name dialog: the row current at this moment, none without one.
    const int row = list_.currentRow();
    if (row >= 0) {
        list_.setNote(row, noteEdit->toPlainText());
    }
    hide();
}

} // namespace tav
