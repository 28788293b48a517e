#include "platform/xls/workbook.h"

#include "platform/atomic_file.h"
#include "platform/xls/document_property.h"
#include "platform/xls/object_model.h"
#include "platform/xls/workbook_io.h"
#include "platform/xls/worksheet.h"

#include <algorithm>

namespace tav::xls {

Workbook::Workbook(std::unique_ptr<WorkbookModel> model, FileWriter& writer, bool readOnly)
    : model_(std::move(model)), writer_(writer), readOnly_(readOnly) {
    for (std::size_t i = 0; i < model_->sheets.size(); ++i) {
        sheets_.push_back(std::unique_ptr<Worksheet>(new Worksheet(model_->sheets[i].get())));
    }
}

Workbook::~Workbook() = default;

QString Workbook::fullName() const {
    return model_->path;
}

Worksheet& Workbook::worksheet(const QString& name) {
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        if (model_->modelled[i] && sheets_[i]->name() == name) {
            return *sheets_[i];
        }
    }
    refuse(QStringLiteral("workbook '%1' has no worksheet '%2'").arg(model_->path, name));
}

Worksheet& Workbook::worksheet(int index) {
    int n = 0;
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        if (model_->modelled[i] && ++n == index) {
            return *sheets_[i];
        }
    }
    refuse(QStringLiteral("worksheet %1 does not exist").arg(index));
}

int Workbook::worksheetCount() const {
    return static_cast<int>(std::count(model_->modelled.begin(), model_->modelled.end(), true));
}

DocumentProperty Workbook::builtinDocumentProperties(int index) {
    if (index != 1 && index != 2 && index != 3 && index != 5) {
        refuse(QStringLiteral("built-in document property %1 is not supported").arg(index));
    }
    return DocumentProperty(model_.get(), index);
}

void Workbook::save() {
    if (readOnly_) {
        refuse(QStringLiteral("'%1' was opened read-only and is not written back; save a copy")
                   .arg(model_->path));
    }
    saveCopyAs(model_->path);
}

void Workbook::saveCopyAs(const QString& path) {
    const std::unique_ptr<PendingFile> file = writer_.create(path);
    writeTo(*file);
    file->commit();
}

void Workbook::writeTo(PendingFile& file) {
    writeWorkbookFile(*model_, file);
}

} // namespace tav::xls
