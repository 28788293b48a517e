// The command line of tavolin-batch.
#pragma once

#include "app/batch/batch_host.h"
#include "generate/generation_host.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace tav {

struct BatchArguments {
    GenerationJob job; // folder, fileName, layout, check boxes, texts (programFolder unset)
    std::vector<BatchRow> rows;
    bool rename = false; // --rename: ChkNameChange ticked, every question answered Yes
    int jobs = 0;        // --jobs N: threads preparing pictures (0: one per core)
    bool help = false;
    QString error; // non-empty: bad usage, with this explanation
};

// Parses the arguments (without the program name). Relative paths are taken relative
// to `workingFolder`.
BatchArguments parseBatchArguments(const QStringList& arguments, const QString& workingFolder);

// The --help text.
QString batchUsage();

} // namespace tav
