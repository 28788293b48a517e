#include "app/row_dialogs.h"

#include "app/list_extent.h"
#include "app/selection_list.h"
#include "platform/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace tav {

namespace {

constexpr Qt::WindowFlags dialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

QPushButton* plainButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QStringList rotationCodes() {
    return {QStringLiteral("  0"), QStringLiteral(" 90"), QStringLiteral("180"),
            QStringLiteral("270")};
}

} // namespace

NameDialog::NameDialog(SelectionList& list, QWidget* parent)
    : QWidget(parent, dialogFlags), list_(list) {
    setObjectName(QStringLiteral("frmName"));
    setWindowTitle(QStringLiteral("ファイル名の変更"));
    setFixedSize(twipsToPixels(4680), twipsToPixels(2250));

    auto* label = new QLabel(QStringLiteral("ファイル名："), this);
    placeTwips(label, 180, 135, 1095, 240);
    txtFileName = new QLineEdit(this);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    placeTwips(txtFileName, 135, 405, 4335, 285);
    CmdSet = plainButton(this, "CmdSet", QStringLiteral("設定"));
    placeTwips(CmdSet, 3285, 855, 1185, 510);
    CmdCancel = plainButton(this, "CmdCancel", QStringLiteral("ｷｬﾝｾﾙ"));
    placeTwips(CmdCancel, 3285, 1530, 1185, 510);
    setTabOrder(txtFileName, CmdSet);
    setTabOrder(CmdSet, CmdCancel);

    connect(CmdSet, &QPushButton::clicked, this, &NameDialog::set);
    connect(CmdCancel, &QPushButton::clicked, this, &QWidget::hide);
}

void NameDialog::openForCurrentRow() {
    const QString path = list_.path(list_.currentRow());
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) {
        nameBefore_ = path.mid(slash + 1);
        txtFileName->setText(nameBefore_);
    }
    show();
    raise();
    activateWindow();
}

void NameDialog::set() {
    // The row current at this moment, which may differ from the one the dialog was
    // opened for. Without a current row there is nothing to write to.
    const int row = list_.currentRow();
    const QString text = txtFileName->text();
    if (row >= 0 && text != nameBefore_) {
        list_.setDisplayName(row, text);
    }
    hide();
}

RoundDialog::RoundDialog(SelectionList& list, QWidget* parent)
    : QWidget(parent, dialogFlags), list_(list) {
    setObjectName(QStringLiteral("frmRound"));
    setWindowTitle(QStringLiteral("画像回転角度の設定"));
    setFixedSize(twipsToPixels(2355), twipsToPixels(1005));

    auto* clockwise = new QLabel(QStringLiteral("時計回り"), this);
    placeTwips(clockwise, 60, 150, 1065, 195);
    auto* degrees = new QLabel(QStringLiteral("回転角度(度)"), this);
    placeTwips(degrees, 90, 360, 1035, 225);
    CmbRound = new QComboBox(this);
    CmbRound->setObjectName(QStringLiteral("CmbRound"));
    CmbRound->setEditable(true);
    CmbRound->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(CmbRound, 90, 600, 1065, 300);
    CmdSet = plainButton(this, "CmdSet", QStringLiteral("設定"));
    placeTwips(CmdSet, 1320, 540, 945, 435);
    CmdCancel = plainButton(this, "CmdCancel", QStringLiteral("ｷｬﾝｾﾙ"));
    placeTwips(CmdCancel, 1320, 60, 945, 405);
    setTabOrder(CmbRound, CmdSet);
    setTabOrder(CmdSet, CmdCancel);

    // Filled once, when the dialog is created.
    CmbRound->clear();
    CmbRound->addItems(rotationCodes());
    CmbRound->setEditText(QStringLiteral("  0"));
    fitComboToEntries(*CmbRound);

    connect(CmdSet, &QPushButton::clicked, this, &RoundDialog::set);
    connect(CmdCancel, &QPushButton::clicked, this, &QWidget::hide);
}

void RoundDialog::openForCurrentRow() {
    CmbRound->setEditText(list_.rotation(list_.currentRow()));
    show();
    raise();
    activateWindow();
}

void RoundDialog::set() {
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
    list_.setRotation(row, CmbRound->currentText());
    list_.repaintNow(); // the row shows its new code while the preview works
    emit redrawRequested(list_.path(row), list_.rotation(row));
    hide();
}

} // namespace tav
