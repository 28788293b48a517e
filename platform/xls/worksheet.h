// A worksheet of a workbook (Workbook::worksheet, Application::worksheets).
#pragma once

#include "platform/xls/shape.h"

#include <QString>

#include <vector>

namespace tav::xls {

class PageSetup;
class Range;
struct SheetModel;

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

} // namespace tav::xls
