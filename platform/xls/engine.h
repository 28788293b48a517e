// The in-process spreadsheet engine: an object model shaped after the automation
// interface of a desktop spreadsheet program, working on one BIFF8 (.xls) workbook.
// This header is the engine's one include for callers; each class is declared in a
// header of its own beside it (application.h, workbook.h, worksheet.h, range.h, ...).
//
// Usage (what a generation run does, step by step):
//
//     tav::xls::Application app;                        // "create the application"
//     tav::xls::Workbook& book = app.workbooks().open(path);
//     tav::xls::Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
//     book.builtinDocumentProperties(1).setValue(title);
//     sheet.select();
//     sheet.range(QStringLiteral("A:AZ")).setColumnWidth(1.63);
//     sheet.range(QStringLiteral("H6")).select();
//     app.clipboard().setImage(photo);                  // in-process, never the desktop's
//     sheet.pasteSpecial(QStringLiteral("ビットマップ"));
//     tav::xls::ShapeRange shape = app.selection().shapeRange();
//     shape.setLockAspectRatio(-1);
//     shape.setHeight(278);
//     sheet.pageSetup().setOrder(2);
//     book.save();
//     app.quit();
//
// Units: column widths are in characters of the workbook's default font (digit
// width, see columnWidthToPixels()), row heights and picture sizes in points
// (1/72 inch). Cell, row and column numbers in this interface are 1-based like the
// address texts ("A1" is row 1, column 1); the sheet holds rows 1..65536 and
// columns 1..256 (A..IV).
//
// Errors: every failure throws tav::Error (platform/error.h). Files: the classic
// numbers of tav::throwErrno (53 file not found, 76 path not found, 70 permission,
// 61 disk full, ...). A refused operation throws 1004 (err::EngineRefused) with a
// description of what was refused: a bad address, a row or column outside the
// sheet, an unknown paste format, nothing on the clipboard, a missing sheet, a
// template that is not a readable BIFF8 workbook, a picture that is no longer on
// the sheet. A picture file that cannot be decoded throws 481.
//
// Object lifetime: the Application owns the workbooks, a Workbook owns its
// worksheets; references to them stay valid until Application::quit() or the
// Application's destruction. Range, Shape, ShapeRange, Border, PageSetup,
// Selection and DocumentProperty are small handles (copyable values) that refer
// into their worksheet; they must not outlive the Application.
//
// Threading: one thread; the engine is not shared between threads.
#pragma once

#include "platform/error.h"
#include "platform/xls/application.h"
#include "platform/xls/automation_constants.h"
#include "platform/xls/border.h"
#include "platform/xls/clipboard.h"
#include "platform/xls/column_width.h"
#include "platform/xls/document_property.h"
#include "platform/xls/limits.h"
#include "platform/xls/page_setup.h"
#include "platform/xls/range.h"
#include "platform/xls/selection.h"
#include "platform/xls/shape.h"
#include "platform/xls/shape_range.h"
#include "platform/xls/workbook.h"
#include "platform/xls/workbooks.h"
#include "platform/xls/worksheet.h"
