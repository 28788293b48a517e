// A built-in document property of a workbook (Workbook::builtinDocumentProperties).
#pragma once

#include <QString>

namespace tav::xls {

struct WorkbookModel;

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

} // namespace tav::xls
