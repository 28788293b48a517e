#include "settings/sample_workbooks.h"

#include "platform/error.h"
#include "platform/paths.h"
#include "platform/xls/engine.h"
#include "settings/program_info.h"

#include <QFileInfo>

namespace tav {

SpreadsheetFactory engineFactory() {
    return [] { return std::make_unique<xls::Application>(); };
}

QString sampleFileName(SampleKind kind) {
    return kind == SampleKind::WithNotes ? QStringLiteral("ﾉｰﾄ付きｻﾝﾌﾟﾙ.xls")
                                         : QStringLiteral("ﾉｰﾄ無しｻﾝﾌﾟﾙ.xls");
}

QString missingSampleMessage(SampleKind kind, const QString& programFolder) {
    return QStringLiteral("サンプルファイル：") + joinPath(programFolder, sampleFileName(kind)) +
           QStringLiteral(" がありません");
}

namespace {

// The three steps every button runs: create, open, make visible. Each step is tried
// even when the one before it failed, as an automation client that passes over errors
// would; the first failure is kept for callers that report it.
struct ShowAttempt {
    bool started = false; // an application was created
    bool opened = false;  // the workbook opened in it
    bool shown = false;   // and was handed to the desktop
    int openError = 0;
    QString openDescription;
};

ShowAttempt showInSpreadsheet(const QString& path, const SpreadsheetFactory& create,
                              std::unique_ptr<xls::Application>& spreadsheetApp) {
    ShowAttempt attempt;
    std::unique_ptr<xls::Application> created;
    try {
        created = create();
    } catch (...) {
        created.reset();
    }
    if (!created) {
        // No application: the remaining steps have nothing to work on. The reference
        // keeps what it held; an earlier instance is not asked to show anything again.
        return attempt;
    }
    spreadsheetApp = std::move(created);
    attempt.started = true;
    try {
        spreadsheetApp->workbooks().open(path);
        attempt.opened = true;
    } catch (const Error& e) {
        attempt.openError = e.number();
        attempt.openDescription = e.description();
    } catch (const std::exception& e) {
        attempt.openError = err::EngineRefused;
        attempt.openDescription = errorText(ErrorText::InternalError);
        qWarning("open workbook: %s", e.what());
    }
    try {
        spreadsheetApp->setVisible(true);
        attempt.shown = attempt.opened;
    } catch (...) {
        // Nothing on the desktop can show the file (the engine's 429).
    }
    return attempt;
}

// What the user reads when nothing on the desktop can show the workbook at `path`.
QString noProgramMessage(const QString& path) {
    return QStringLiteral("Excelファイルを表示できるプログラムが見つかりません。\n\n") + path +
           QStringLiteral("\n\nLibreOffice Calc などの表計算ソフトを入れてから、"
                          "このファイルを開いて下さい。");
}

QString showFailureMessage(const QString& path, const ShowAttempt& attempt) {
    const QString ending = QStringLiteral("\n\n本ソフトを終了します。");
    if (attempt.started && !attempt.opened) {
        if (attempt.openError == err::FileNotFound || attempt.openError == err::PathNotFound) {
            return QStringLiteral("作成したExcelファイルが見つかりません。\n\n") + path +
                   QStringLiteral("\n\nファイルが移動または削除されていないか確認して下さい。") +
                   ending;
        }
        QString text = QStringLiteral("作成したExcelファイルを開けません。\n\n") + path;
        if (!attempt.openDescription.isEmpty()) {
            text += QStringLiteral("\n\n内容:") + attempt.openDescription;
        }
        return text + ending;
    }
    return noProgramMessage(path) + ending;
}

} // namespace

void openSampleWorkbook(SampleKind kind, const QString& programFolder, Dialogs& dialogs,
                        QWidget* parent, const SpreadsheetFactory& create,
                        std::unique_ptr<xls::Application>& spreadsheetApp) {
    const QString path = joinPath(programFolder, sampleFileName(kind));
    const QFileInfo info(path);
    // Only an ordinary, visible file counts: a folder or a hidden file of that name
    // is not the sample.
    if (!info.isFile() || info.isHidden()) {
        dialogs.message(parent, missingSampleMessage(kind, programFolder), kProgramTitle,
                        MessageIcon::Exclamation);
        return;
    }
    const ShowAttempt attempt = showInSpreadsheet(path, create, spreadsheetApp);
    // A sample that opened but that nothing on the desktop can show would otherwise look
    // like a button that does nothing.
    if (attempt.opened && !attempt.shown) {
        dialogs.message(parent, noProgramMessage(path), kProgramTitle, MessageIcon::Exclamation);
    }
}

bool showResultWorkbook(const QString& resultWorkbookPath, Dialogs& dialogs, QWidget* parent,
                        const SpreadsheetFactory& create,
                        std::unique_ptr<xls::Application>& spreadsheetApp,
                        const std::function<void()>& endProgram) {
    const ShowAttempt attempt = showInSpreadsheet(resultWorkbookPath, create, spreadsheetApp);
    if (!attempt.shown) {
        dialogs.message(parent, showFailureMessage(resultWorkbookPath, attempt), kProgramTitle,
                        MessageIcon::Exclamation);
    }
    if (endProgram) {
        endProgram();
    }
    return attempt.shown;
}

} // namespace tav
