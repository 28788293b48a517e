// tavolin-batch: the generation run from the command line (see batchUsage()).
#include "app/batch/batch_args.h"
#include "app/batch/batch_host.h"
#include "generate/generation_run.h"
#include "platform/heap.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    tav::reuseHeapForLargePictures();
    // Pictures are decoded and metafiles rasterised without any display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const tav::BatchArguments parsed = tav::parseBatchArguments(arguments, QDir::currentPath());
    if (parsed.help) {
        std::fputs(tav::batchUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "tavolin-batch: %s\n\n%s", parsed.error.toLocal8Bit().constData(),
                     tav::batchUsage().toLocal8Bit().constData());
        return 2;
    }

    tav::GenerationJob job = parsed.job;
    job.programFolder = QCoreApplication::applicationDirPath();
    tav::BatchHost host(parsed.rows, parsed.rename, stderr);
    tav::PlacementOptions placement;
    placement.preparingThreads = parsed.jobs;
    tav::GenerationRun run(host, placement);
    tav::catchStopSignals();
    switch (run.start(job)) {
    case tav::RunOutcome::Completed:
        std::printf("%s\n", host.resultPath().toLocal8Bit().constData());
        return 0;
    case tav::RunOutcome::Refused:
        return 3;
    case tav::RunOutcome::Stopped:
        std::fputs("tavolin-batch: stopped; the workbook and the images are as they were\n",
                   stderr);
        return 4;
    case tav::RunOutcome::Ignored:
    case tav::RunOutcome::Failed:
    case tav::RunOutcome::ProgramEnds:
        break;
    }
    return 1;
}
