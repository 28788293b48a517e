#include "platform/xls/workbooks.h"

#include "platform/xls/application.h"
#include "platform/xls/object_model.h"
#include "platform/xls/workbook.h"
#include "platform/xls/workbook_io.h"

#include <algorithm>

namespace tav::xls {

Workbooks::Workbooks(Application* app) : app_(app) {}

Workbooks::~Workbooks() = default;

Workbook& Workbooks::open(const QString& fullPath, bool readOnly) {
    std::unique_ptr<WorkbookModel> model = readWorkbook(fullPath);
    for (auto& sheet : model->sheets) {
        sheet->app = app_;
    }
    if (std::find(model->modelled.begin(), model->modelled.end(), true) == model->modelled.end()) {
        refuse(QStringLiteral("'%1' holds no worksheet").arg(fullPath));
    }
    books_.push_back(
        std::unique_ptr<Workbook>(new Workbook(std::move(model), app_->fileWriter(), readOnly)));
    return *books_.back();
}

Workbook& Workbooks::item(int index) {
    if (index < 1 || index > static_cast<int>(books_.size())) {
        refuse(QStringLiteral("workbook %1 is not open").arg(index));
    }
    return *books_[static_cast<std::size_t>(index - 1)];
}

int Workbooks::count() const {
    return static_cast<int>(books_.size());
}

} // namespace tav::xls
