// A workbook opened by the application (Workbooks::open).
#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace tav {
class FileWriter;
class PendingFile;
} // namespace tav

namespace tav::xls {

class DocumentProperty;
class Worksheet;
struct WorkbookModel;

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

} // namespace tav::xls
