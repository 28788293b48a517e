// Page set-up of a worksheet (Worksheet::pageSetup).
#pragma once

#include <QString>

namespace tav::xls {

struct SheetModel;

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

} // namespace tav::xls
