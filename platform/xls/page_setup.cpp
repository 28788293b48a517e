#include "platform/xls/page_setup.h"

#include "platform/xls/address.h"
#include "platform/xls/biff.h"
#include "platform/xls/object_model.h"
#include "platform/xls/opcodes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tav::xls {

PageSetup::PageSetup(SheetModel* sheet) : sheet_(sheet) {}

void PageSetup::setOrder(int order) {
    if (order != 1 && order != 2) {
        refuse(QStringLiteral("page order %1 refused").arg(order));
    }
    sheet_->pageOrder = order;
}

int PageSetup::order() const {
    return sheet_->pageOrder;
}

void PageSetup::setPrintArea(const QString& address) {
    if (address.isEmpty()) {
        sheet_->printArea.reset();
        return;
    }
    const std::vector<Area> areas = parseAddress(address, AddressKind::Any);
    if (areas.size() != 1 || areas.front().wholeColumns || areas.front().wholeRows) {
        refuse(
            QStringLiteral("print area '%1' refused: one block of cells is needed").arg(address));
    }
    sheet_->printArea = areas.front();
}

double PageSetup::printableWidth() const {
    double left = 0.75; // inches, when the sheet has no margin records
    double right = 0.75;
    int paper = 9; // A4
    int scale = 100;
    bool portrait = true;
    for (const Record& r : sheet_->records) {
        const QByteArray& d = r.data;
        if ((r.type == op::LEFTMARGIN || r.type == op::RIGHTMARGIN) && d.size() >= 8) {
            double inches = 0;
            std::memcpy(&inches, d.constData(), 8); // little-endian IEEE double
            if (std::isfinite(inches) && inches >= 0 && inches < 50) {
                (r.type == op::LEFTMARGIN ? left : right) = inches;
            }
        } else if (r.type == op::WSBOOL && d.size() >= 2 && (get16(d, 0) & 0x0100) != 0 &&
                   sheet_->breaks.empty()) {
            return 0; // fit to pages (saving clears it once manual breaks are set)
        } else if (r.type == op::SETUP && d.size() >= 12) {
            const int flags = get16(d, 10);
            if ((flags & 0x0004) == 0) { // paper, scale and orientation are set
                paper = get16(d, 0);
                scale = get16(d, 2);
                if ((flags & 0x0040) == 0) {
                    portrait = (flags & 0x0002) != 0;
                }
            }
        }
    }
    // Paper sizes by their code, in points (width × height, portrait).
    struct Paper {
        int code;
        double width;
        double height;
    };
    static constexpr Paper papers[] = {
        {1, 612, 792},      {5, 612, 1008},     {8, 841.9, 1190.6},  {9, 595.3, 841.9},
        {11, 419.5, 595.3}, {13, 515.9, 728.5}, {12, 728.5, 1031.8},
    };
    Paper size = papers[3];
    for (const Paper& p : papers) {
        if (p.code == paper) {
            size = p;
        }
    }
    if (scale < 10 || scale > 400) {
        scale = 100;
    }
    const double across = (portrait ? size.width : size.height) - (left + right) * 72;
    return std::max(0.0, across) * 100.0 / scale;
}

QString PageSetup::printArea() const {
    return sheet_->printArea ? formatArea(*sheet_->printArea) : QString();
}

} // namespace tav::xls
