// Content layer: reading a BIFF8 template into the engine's model and writing the
// model back as a BIFF8 workbook in a compound file.
#pragma once

#include "platform/xls/model.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace tav {
class PendingFile;
}

namespace tav::xls {

// Reads the workbook file at `path`. File errors: the classic numbers
// (tav::throwErrno); a file that is not a readable BIFF8 workbook: 1004.
std::unique_ptr<WorkbookModel> readWorkbook(const QString& path);

// Reads a workbook from the bytes of a compound file (used by tests and the fuzz
// target). `name` appears in error descriptions.
std::unique_ptr<WorkbookModel> readWorkbookFromMemory(const QByteArray& file, const QString& name);

// Parses a Workbook stream (the BIFF8 records) into `book`.
void parseWorkbookStream(WorkbookModel& book, const QByteArray& stream);

// The Workbook stream for the model as it is now.
QByteArray writeWorkbookStream(WorkbookModel& book);

// The `\005SummaryInformation` stream with the four document properties
// (code page 1200, UTF-16 strings).
QByteArray writeSummaryInformation(const WorkbookModel& book);
// The `\005DocumentSummaryInformation` stream written when the template has none.
QByteArray writeDocumentSummaryInformation();

// The bytes of the whole compound file: the Workbook stream, the summary information
// and the template's other streams.
QByteArray workbookFileBytes(WorkbookModel& book);

// The same compound file written into `out` without a copy of it in memory.
void writeWorkbookFile(WorkbookModel& book, PendingFile& out);

} // namespace tav::xls
