// Reading one worksheet substream of a template into the model (a part of reading the
// workbook, workbook_reader.cpp).
#pragma once

#include "platform/xls/biff.h"
#include "platform/xls/drawing.h"
#include "platform/xls/model.h"

#include <vector>

namespace tav::xls {

// Reads the worksheet substream `records` (BOF .. EOF) into `sheet`: cells, column
// widths, row heights, merged cells, page breaks and order, pictures (their pixels
// from `blips`, the template's picture store). Every other record is kept in
// `sheet.records`, with marks where the writer puts the regenerated parts. A damaged
// sheet, or one with text boxes, comments or other drawing objects: 1004.
void parseWorksheet(WorkbookModel& book, SheetModel& sheet, const std::vector<Record>& records,
                    const std::vector<TemplateBlip>& blips);

} // namespace tav::xls
