// A bare window with the preview's controls, for tests and benchmarks that drive
// PreviewController without the program's main window. The controls are reached as the
// PreviewControls they are: `magnification`, `modeButtons[1]`, ...
#pragma once

#include "preview/preview_controller.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QString>
#include <QWidget>

namespace tav::testing {

struct PreviewTestWindow : PreviewControls {
    QWidget form; // stands in for the main window
    QWidget note; // stands in for the wait note
    QFrame* view = nullptr;

    PreviewTestWindow() {
        window = &form;
        waitNote = &note;
        form.resize(720, 300);
        note.resize(200, 60);
        view = new QFrame(&form);
        view->setGeometry(10, 10, 213, 160); // 3200 x 2400 twips
        canvas = new QWidget(view);
        canvas->setGeometry(0, 0, 217, 164);
        horizontalScroll = new QScrollBar(Qt::Horizontal, &form);
        horizontalScroll->setGeometry(10, 170, 213, 17);
        verticalScroll = new QScrollBar(Qt::Vertical, &form);
        verticalScroll->setGeometry(223, 10, 17, 160);
        for (QScrollBar* bar : {horizontalScroll, verticalScroll}) {
            bar->setRange(0, 100);
            bar->setSingleStep(1);
            bar->setPageStep(1);
            bar->hide();
        }
        const char* captions[] = {"ｽｹｰﾙ", "実寸", "ﾌｨｯﾄ"};
        auto* group = new QButtonGroup(&form);
        for (int i = 0; i < 3; ++i) {
            modeButtons[i] = new QRadioButton(QString::fromUtf8(captions[i]), &form);
            modeButtons[i]->setGeometry(250 + 60 * i, 10, 60, 20);
            group->addButton(modeButtons[i], i);
        }
        modeButtons[0]->setChecked(true);
        magnification = new QComboBox(&form);
        rotation = new QComboBox(&form);
        for (QComboBox* combo : {magnification, rotation}) {
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
        }
        fillMagnifications(*magnification);
        magnification->setGeometry(250, 40, 60, 20);
        magnification->hide();
        fillRotationCodes(*rotation);
        rotation->setGeometry(320, 40, 60, 20);
        startUnturned = new QCheckBox(QString::fromUtf8("初めは0度"), &form);
        startUnturned->setChecked(true);
        startUnturned->setGeometry(390, 40, 100, 20);
        information = new QPlainTextEdit(&form);
        information->setPlainText(QString::fromUtf8("ﾌｧｲﾙ日時(容量)\n画像ｻｲｽﾞ"));
        information->setGeometry(10, 200, 213, 35);
    }
};

} // namespace tav::testing
