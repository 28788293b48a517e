// A bare window with the preview's controls under their object names, for tests and
// benchmarks that drive PreviewController without the program's main window.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QPalette>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QString>
#include <QWidget>

namespace tav::testing {

struct PreviewTestWindow {
    QWidget window;
    QWidget wait;
    QFrame* picture1 = nullptr;
    QWidget* picture2 = nullptr;
    QScrollBar* hScroll = nullptr;
    QScrollBar* vScroll = nullptr;
    QRadioButton* option1[3] = {nullptr, nullptr, nullptr};
    QComboBox* cmbSun = nullptr;
    QComboBox* cmbKaiten = nullptr;
    QCheckBox* chkStart = nullptr;
    QPlainTextEdit* txtTitle = nullptr;

    PreviewTestWindow() {
        window.resize(720, 300);
        wait.setObjectName(QStringLiteral("frmWait"));
        wait.resize(200, 60);
        picture1 = new QFrame(&window);
        picture1->setObjectName(QStringLiteral("Picture1"));
        picture1->setGeometry(10, 10, 213, 160); // 3200 x 2400 twips
        picture2 = new QWidget(picture1);
        picture2->setObjectName(QStringLiteral("Picture2"));
        picture2->setGeometry(0, 0, 217, 164);
        hScroll = new QScrollBar(Qt::Horizontal, &window);
        hScroll->setObjectName(QStringLiteral("HScroll1"));
        hScroll->setGeometry(10, 170, 213, 17);
        vScroll = new QScrollBar(Qt::Vertical, &window);
        vScroll->setObjectName(QStringLiteral("VScroll1"));
        vScroll->setGeometry(223, 10, 17, 160);
        for (QScrollBar* bar : {hScroll, vScroll}) {
            bar->setRange(0, 100);
            bar->setSingleStep(1);
            bar->setPageStep(1);
            bar->hide();
        }
        const char* captions[] = {"ｽｹｰﾙ", "実寸", "ﾌｨｯﾄ"};
        auto* group = new QButtonGroup(&window);
        for (int i = 0; i < 3; ++i) {
            option1[i] = new QRadioButton(QString::fromUtf8(captions[i]), &window);
            option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
            option1[i]->setGeometry(250 + 60 * i, 10, 60, 20);
            group->addButton(option1[i], i);
        }
        option1[0]->setChecked(true);
        cmbSun = new QComboBox(&window);
        cmbSun->setObjectName(QStringLiteral("CmbSun"));
        cmbSun->setEditable(true);
        cmbSun->setInsertPolicy(QComboBox::NoInsert);
        for (int i = 1; i <= 9; ++i)
            cmbSun->addItem(QStringLiteral("0.%1").arg(i));
        for (int i = 1; i <= 10; ++i)
            cmbSun->addItem(QString::number(i));
        cmbSun->setEditText(QStringLiteral("1"));
        cmbSun->setGeometry(250, 40, 60, 20);
        cmbSun->hide();
        cmbKaiten = new QComboBox(&window);
        cmbKaiten->setObjectName(QStringLiteral("CmbKaiten"));
        cmbKaiten->setEditable(true);
        cmbKaiten->setInsertPolicy(QComboBox::NoInsert);
        cmbKaiten->addItems({QStringLiteral("  0"), QStringLiteral(" 90"), QStringLiteral("180"),
                             QStringLiteral("270")});
        cmbKaiten->setEditText(QStringLiteral("  0"));
        cmbKaiten->setGeometry(320, 40, 60, 20);
        chkStart = new QCheckBox(QString::fromUtf8("初めは0度"), &window);
        chkStart->setObjectName(QStringLiteral("ChkStart"));
        chkStart->setChecked(true);
        chkStart->setGeometry(390, 40, 100, 20);
        txtTitle = new QPlainTextEdit(&window);
        txtTitle->setObjectName(QStringLiteral("txtTitle"));
        txtTitle->setPlainText(QString::fromUtf8("ﾌｧｲﾙ日時(容量)") + QLatin1Char('\n') +
                               QString::fromUtf8("画像ｻｲｽﾞ"));
        txtTitle->setGeometry(10, 200, 213, 35);
    }
};

} // namespace tav::testing
