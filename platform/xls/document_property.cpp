#include "platform/xls/document_property.h"

#include "platform/xls/model.h"

namespace tav::xls {

DocumentProperty::DocumentProperty(WorkbookModel* book, int index) : book_(book), index_(index) {}

void DocumentProperty::setValue(const QString& text) {
    book_->properties[static_cast<std::size_t>(index_)] = text;
    book_->propertySet[static_cast<std::size_t>(index_)] = true;
}

QString DocumentProperty::value() const {
    return book_->properties[static_cast<std::size_t>(index_)];
}

} // namespace tav::xls
