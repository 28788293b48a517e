#include "app/batch/batch_host.h"

#include <csignal>

namespace tav {

namespace {
volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int) {
    stopSignal = 1;
}
} // namespace

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool BatchHost::stopRequested() const {
    return stopSignal != 0;
}

QString terminalText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

void StreamDialogs::message(QWidget*, const QString& text, const QString& title, MessageIcon) {
    messages << text;
    std::fprintf(out_, "%s: %s\n", title.toLocal8Bit().constData(),
                 terminalText(text).toLocal8Bit().constData());
    std::fflush(out_);
}

bool StreamDialogs::askYesNo(QWidget*, const QString& text, const QString& title) {
    std::fprintf(out_, "%s: %s -> %s\n", title.toLocal8Bit().constData(),
                 terminalText(text).toLocal8Bit().constData(), answer_ ? "yes" : "no");
    std::fflush(out_);
    return answer_;
}

BatchHost::BatchHost(std::vector<BatchRow> rows, bool answerYes, std::FILE* err)
    : rows_(std::move(rows)), dialogs_(err, answerYes), err_(err) {}

void BatchHost::setRowPath(int row, const QString& path) {
    rows_.at(static_cast<size_t>(row)).path = path;
}

void BatchHost::setProgress(int done, int total) {
    if (done < 0 || total <= 0) {
        return;
    }
    std::fprintf(err_, "%d/%d\n", done, total);
    std::fflush(err_);
}

} // namespace tav
