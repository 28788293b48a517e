// The in-process spreadsheet engine: an object model shaped after the automation
// interface of a desktop spreadsheet program, working on one BIFF8 (.xls) workbook.
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
#include "platform/xls/limits.h"

#include <QImage>
#include <QSizeF>
#include <QString>

#include <memory>
#include <vector>

namespace tav {
class FileWriter;
class PendingFile;
} // namespace tav

namespace tav::xls {

// Constants of the automation interface, with the values callers pass.
namespace xl {
inline constexpr int HAlignLeft = -4131;   // xlLeft
inline constexpr int HAlignCenter = -4108; // xlCenter
inline constexpr int HAlignRight = -4152;  // xlRight
inline constexpr int HAlignGeneral = 1;    // xlGeneral
inline constexpr int VAlignTop = -4160;    // xlTop
inline constexpr int VAlignCenter = -4108; // xlCenter
inline constexpr int VAlignBottom = -4107; // xlBottom

inline constexpr int EdgeLeft = 7;           // xlEdgeLeft
inline constexpr int EdgeTop = 8;            // xlEdgeTop
inline constexpr int EdgeBottom = 9;         // xlEdgeBottom
inline constexpr int EdgeRight = 10;         // xlEdgeRight
inline constexpr int InsideVertical = 11;    // xlInsideVertical
inline constexpr int InsideHorizontal = 12;  // xlInsideHorizontal
inline constexpr int LineContinuous = 1;     // xlContinuous
inline constexpr int LineNone = -4142;       // xlLineStyleNone
inline constexpr int WeightHairline = 1;     // xlHairline
inline constexpr int WeightThin = 2;         // xlThin
inline constexpr int WeightMedium = -4138;   // xlMedium
inline constexpr int WeightThick = 4;        // xlThick
inline constexpr int ColorAutomatic = -4105; // xlColorIndexAutomatic
inline constexpr int OrderDownThenOver = 1;  // xlDownThenOver
inline constexpr int OrderOverThenDown = 2;  // xlOverThenDown
inline constexpr int MsoTrue = -1;           // msoTrue
inline constexpr int MsoFalse = 0;           // msoFalse

// Paste formats accepted by Worksheet::pasteSpecial (the names of the Japanese
// user interface of the desktop program).
inline const QString PasteBitmap = QStringLiteral("ビットマップ");
inline const QString PasteJpeg = QStringLiteral("図 (JPEG)");
} // namespace xl

// Error number thrown by Application::setVisible when no desktop program can show
// the workbook ("the application cannot be created").
inline constexpr int ErrCannotShow = err::CannotShowWorkbook;

// Geometry of the default font of the shipped template (Arial 11 pt, like the Japanese
// ＭＳ Ｐゴシック 11 pt the layouts were designed with): its
// digit is 8 pixels wide at 96 dpi. A column of w characters is
// trunc(w × 8 + 5) pixels wide for w ≥ 1 and round(w × 13) pixels below.
inline constexpr int DefaultDigitWidthPx = 8;
// Pixels at 96 dpi of a column `characters` wide for a font with digit width `mdw`.
int columnWidthToPixels(double characters, int mdw = DefaultDigitWidthPx);
// Points of a column `characters` wide (pixels × 72 / 96).
double columnWidthToPoints(double characters, int mdw = DefaultDigitWidthPx);

class Application;
class Workbook;
class Worksheet;
class Range;
class Border;
class Shape;
class ShapeRange;
class Selection;
class Clipboard;
struct SheetModel;
struct WorkbookModel;

// Picture JPEG settings: stored pixels per inch of the placed size, quality.
inline constexpr double StoredPixelsPerInch = 220.0;
inline constexpr int JpegQuality = 85;

// A range of cells: one or more rectangular areas of one worksheet, made from an
// address text. Rows and columns of a whole-column range ("A:AZ") run over all
// 65536 rows; of a whole-row range ("1:88") over all 256 columns.
class Range {
public:
    // Makes the range the selection of its sheet and activates the sheet; its first
    // cell becomes the active cell.
    void select();

    // The address in absolute A1 form, e.g. "$H$6", "$D$3:$D$18", "$A:$AZ", "$1:$88",
    // areas separated by ",".
    QString address() const;
    int row() const;         // first row of the first area, 1-based
    int column() const;      // first column of the first area, 1-based
    int rowCount() const;    // rows of the first area
    int columnCount() const; // columns of the first area

    // Width of every column the range touches, in characters of the default font
    // (0..255; 0 hides the column). Other values throw 1004.
    void setColumnWidth(double characters);
    // Width of the first column, in characters.
    double columnWidth() const;
    // Width of the first area in points: the sum of its columns' widths.
    double width() const;
    // Height of every row the range touches, in points (0..409). Other values: 1004.
    void setRowHeight(double points);
    // Height of the first row, in points.
    double rowHeight() const;

    // Writes `text` into every cell of the range. A leading apostrophe stores the
    // rest as text (the apostrophe is not part of the value); a plain decimal number
    // ("12", "-3.5") is stored as a number; any other text, including one starting
    // with "=", is stored as text (the engine does not evaluate formulas). An empty
    // text clears the value and keeps the cell's format. At most 65536 cells.
    void setFormulaR1C1(const QString& text);
    // The first cell's value as it was written (without the apostrophe), or "".
    QString text() const;
    // The first cell's content in formula form: text cells that were written with
    // the apostrophe come back with it.
    QString formulaR1C1() const;

    // Cell formats of every cell of the range (at most 65536 cells, else 1004).
    // horizontal: xlLeft -4131, xlCenter -4108, xlRight -4152, xlGeneral 1.
    void setHorizontalAlignment(int value);
    int horizontalAlignment() const;
    // vertical: xlTop -4160, xlCenter -4108, xlBottom -4107.
    void setVerticalAlignment(int value);
    int verticalAlignment() const;
    void setWrapText(bool on);
    bool wrapText() const;
    // Text rotation in degrees, -90..90 (0 horizontal), or xlVertical -4166.
    void setOrientation(int degrees);
    int orientation() const;
    void setAddIndent(bool on);
    void setShrinkToFit(bool on);
    bool shrinkToFit() const;
    // True merges each area of the range into one cell; false unmerges every merged
    // area the range touches.
    void setMergeCells(bool on);
    bool mergeCells() const;

    Border borders(int index) const;

    // Engine internals: the parsed areas.
    struct Areas;

private:
    friend class Worksheet;
    friend class Shape;
    friend class Application;
    friend class Selection;
    friend class Border;
    Range(SheetModel* sheet, std::shared_ptr<const Areas> areas);
    SheetModel* sheet_;
    std::shared_ptr<const Areas> areas_;
};

// One border of a range (Range::borders(index)). Setting a property applies it to
// the cell edges the index names: 9 the bottom edge of the range's last row, 12 the
// lines between its rows, 7/8/10/11 left, top, right, inside vertical.
class Border {
public:
    // xlContinuous (1) or xlLineStyleNone (-4142); 1 alone draws a thin line.
    void setLineStyle(int lineStyle);
    // xlHairline (1), xlThin (2), xlMedium (-4138), xlThick (4).
    void setWeight(int weight);
    // xlColorIndexAutomatic (-4105) or a palette index 1..56.
    void setColorIndex(int colorIndex);

private:
    friend class Range;
    Border(const Range& range, int index);
    Range range_;
    int index_;
};

// The size of a selected picture (Selection::shapeRange()).
class ShapeRange {
public:
    // msoTrue (-1) keeps width and height in proportion: setting one then scales the
    // other by the same factor. msoFalse (0) lets them change alone.
    void setLockAspectRatio(int msoTriState);
    int lockAspectRatio() const;
    // Size in points (> 0 and ≤ 169087, else 1004). The top-left corner stays put.
    void setHeight(double points);
    void setWidth(double points);
    double height() const;
    double width() const;

private:
    friend class Selection;
    friend class Shape;
    ShapeRange(SheetModel* sheet, int shapeId);
    SheetModel* sheet_;
    int id_;
};

// A picture on a worksheet.
class Shape {
public:
    // The cell under the picture's top-left corner.
    Range topLeftCell() const;
    // The cell under the picture's bottom-right corner (from the column widths and row
    // heights as they are now).
    Range bottomRightCell() const;
    // Makes the picture the selection of its sheet.
    void select();
    double width() const;  // points
    double height() const; // points
    // The name shown by the desktop program, "Picture N".
    QString name() const;
    // True when the picture is stored as a JPEG picture (pasted as "図 (JPEG)");
    // false for a pasted bitmap or an inserted file before the JPEG conversion.
    bool isJpeg() const;
    // Pixel size of the picture as it is held now (reduced once its size is set).
    QSize pixelSize() const;
    // False once the picture was cut from the sheet.
    bool isValid() const;

private:
    friend class Worksheet;
    friend class Selection;
    Shape(SheetModel* sheet, int shapeId);
    SheetModel* sheet_;
    int id_;
};

// The application's selection: a range or one picture.
class Selection {
public:
    bool isRange() const;
    bool isShape() const;
    // The selected range; 1004 when a picture is selected.
    Range range() const;
    // The selected picture's size; 1004 when a range is selected.
    ShapeRange shapeRange() const;
    // Removes the selected picture from the sheet and puts it on the clipboard (its
    // size stays with it). A selected range: 1004 (only pictures are cut).
    void cut();

private:
    friend class Application;
    explicit Selection(SheetModel* sheet);
    SheetModel* sheet_;
};

// Page set-up of a worksheet.
class PageSetup {
public:
    // 1 down, then over; 2 over, then down. Other values: 1004.
    void setOrder(int order);
    int order() const;
    // The one rectangular range that prints, e.g. "A1:AK118"; "" prints what the sheet
    // uses again. Anything else (a union, whole columns or rows) is refused with 1004.
    // Saved as the sheet's built-in name Print_Area. A template that already holds
    // defined names or external references keeps its own link table and print set-up:
    // the area is then not written.
    void setPrintArea(const QString& address);
    // The area set by setPrintArea or read from the template, in absolute form
    // ("$A$1:$AK$118"); "" when there is none.
    QString printArea() const;
    // Sheet points that one printed page holds across: the paper's width (its size
    // and orientation from the page set-up; A4 portrait when unset) less the left and
    // right margins, at the print scale. 0 when the sheet prints fitted to a number
    // of pages, where the width depends on the content.
    double printableWidth() const;

private:
    friend class Worksheet;
    explicit PageSetup(SheetModel* sheet);
    SheetModel* sheet_;
};

// A built-in document property (Workbook::builtinDocumentProperties).
class DocumentProperty {
public:
    void setValue(const QString& text);
    QString value() const;

private:
    friend class Workbook;
    DocumentProperty(WorkbookModel* book, int index);
    WorkbookModel* book_;
    int index_;
};

// The engine's own clipboard. It carries pictures between the program and the
// engine; the desktop's clipboard is never touched.
class Clipboard {
public:
    Clipboard();
    ~Clipboard();
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    void clear();
    // Puts a bitmap on the clipboard. `sizePoints` is the picture's natural size in
    // points; empty means the pixel size at 96 dpi (pixels × 0.75). Pass it when the
    // image holds fewer (or more) pixels than its natural size, e.g. a photo decoded
    // at a reduced scale. A null image throws 481.
    void setImage(const QImage& image, QSizeF sizePoints = {});
    bool hasPicture() const;

    struct Content;
    // Engine internals: what is on the clipboard.
    const Content* content() const { return content_.get(); }
    void setContent(std::unique_ptr<Content> content);

private:
    std::unique_ptr<Content> content_;
};

class Worksheet {
public:
    ~Worksheet();
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    QString name() const;

    // A range from an address text: "H6", "D3:D18", "A:AZ", "B:B", "1:88", "$A$1",
    // unions "A:A,C:C,E:E". Letters may be lower case. A malformed address, a row
    // outside 1..65536 or a column outside A..IV throws 1004.
    Range range(const QString& address);
    // Whole columns: "A:AZ", "B:B", "B".
    Range columns(const QString& address);
    // Whole rows: "1:88", "5".
    Range rows(const QString& address);

    // Makes this sheet the active sheet of its workbook.
    void select();

    // Inserts the picture file `path` (bmp, jpg, gif, wmf, emf) at the active cell,
    // at its natural size (96 dpi). The inserted picture is returned; like the
    // desktop program it is not selected until Shape::select(). Missing file: 53/76;
    // undecodable: 481.
    Shape picturesInsert(const QString& path);

    // Pastes the clipboard's picture at the active cell and selects it. `format` is
    // "ビットマップ" (bitmap) or "図 (JPEG)" (JPEG picture); any other: 1004. An empty
    // clipboard: 1004. `link` and `displayAsIcon` must be false (else 1004).
    void pasteSpecial(const QString& format, bool link = false, bool displayAsIcon = false);

    // Every picture of the sheet, in the order of the sheet's shape collection
    // (the order they were placed).
    std::vector<Shape> shapes();
    int shapeCount() const;

    PageSetup pageSetup();

    // Writes manual horizontal page breaks so that every `rowsPerPage` rows start a
    // new printed page: breaks before rows rowsPerPage + 1, 2 × rowsPerPage + 1, ...,
    // as long as that row is ≤ `lastRow`. Replaces earlier manual breaks. At most
    // 1026 breaks are written (the sheet's limit); returns the number written.
    // rowsPerPage < 1 or lastRow outside 1..65536: 1004.
    int setHorizontalPageBreaksEvery(int rowsPerPage, int lastRow);
    // Rows (1-based) that start a new page through a manual break.
    std::vector<int> horizontalPageBreaks() const;

    // Engine internals.
    SheetModel& model() { return *model_; }

private:
    friend class Workbook;
    friend class Application;
    explicit Worksheet(SheetModel* model) : model_(model) {}
    SheetModel* model_;
};

class Workbook {
public:
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Full path the workbook was opened from and is saved to.
    QString fullName() const;

    // The worksheet named `name` (exact text). Missing: 1004.
    Worksheet& worksheet(const QString& name);
    // Worksheets in workbook order, 1-based. Out of range: 1004.
    Worksheet& worksheet(int index);
    int worksheetCount() const;

    // Built-in document property by index: 1 title, 2 subject, 3 author, 5 comments.
    // Other indices: 1004.
    DocumentProperty builtinDocumentProperties(int index);

    // Writes the workbook to its path in BIFF8, atomically, through the application's
    // FileWriter (platform/atomic_file.h): a temporary file in the same folder is
    // written, flushed to disk and renamed over the target. On any failure the target
    // is left as it was and the temporary file is removed. A workbook opened read-only
    // is refused with 1004.
    void save();
    // Writes the workbook to another path (same rules as save(), also for a workbook
    // opened read-only); the workbook keeps its own path.
    void saveCopyAs(const QString& path);
    // Writes the workbook's file into `file`, a replacement of some target that the
    // caller commits or abandons: so the caller decides the moment the target changes.
    void writeTo(PendingFile& file);
    // True when opened read-only (Workbooks::open): save() is refused.
    bool readOnly() const { return readOnly_; }

    // Engine internals.
    WorkbookModel& model() { return *model_; }

private:
    friend class Workbooks;
    friend class Application;
    Workbook(std::unique_ptr<WorkbookModel> model, FileWriter& writer, bool readOnly);
    std::unique_ptr<WorkbookModel> model_;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
    FileWriter& writer_;
    bool readOnly_;
};

class Workbooks {
public:
    // Opens the BIFF8 workbook at `fullPath` (absolute path) as the next workbook; the
    // file is read whole and closed again. `readOnly` keeps save() from writing it back
    // (a template is opened so and saved elsewhere with saveCopyAs() or writeTo()).
    // Missing file: 53 (or 76 for a missing folder); unreadable: 70; not a BIFF8
    // workbook, damaged, or without a worksheet: 1004.
    Workbook& open(const QString& fullPath, bool readOnly = false);
    // Workbook by 1-based index; out of range: 1004.
    Workbook& item(int index);
    int count() const;

private:
    friend class Application;
    explicit Workbooks(Application* app) : app_(app) {}
    Application* app_;
    std::vector<std::unique_ptr<Workbook>> books_;
};

class Application {
public:
    // A new, invisible instance with no workbook. Its workbooks are saved through
    // `writer` (the local file system unless a test passes another). Never fails.
    explicit Application(FileWriter& writer);
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    Workbooks& workbooks() { return workbooks_; }
    FileWriter& fileWriter() { return writer_; }
    // The worksheet `name` of the active (first) workbook; no workbook or no such
    // sheet: 1004.
    Worksheet& worksheets(const QString& name);

    // The selection of the active sheet of the active workbook; no workbook: 1004.
    Selection selection();
    // The active cell of the active sheet (first cell of the last selected range).
    Range activeCell();

    Clipboard& clipboard() { return clipboard_; }

    // Whether closing asks about unsaved changes. The engine never asks anything;
    // the value is only kept.
    void setDisplayAlerts(bool on) { displayAlerts_ = on; }
    bool displayAlerts() const { return displayAlerts_; }

    // true hands every open workbook's file, as last saved, to the desktop's
    // spreadsheet program (platform/shell.h: defaultShell().openDocument). When
    // nothing can open it: tav::Error 429 naming the file. false does nothing.
    void setVisible(bool on);
    bool visible() const { return visible_; }

    // Ends the instance: closes every workbook without saving. Later calls into the
    // instance's objects are invalid; the Application itself may be destroyed.
    void quit();

private:
    friend class Worksheet;
    Workbook& activeWorkbook();
    FileWriter& writer_;
    Workbooks workbooks_;
    Clipboard clipboard_;
    bool displayAlerts_ = true;
    bool visible_ = false;
};

} // namespace tav::xls
