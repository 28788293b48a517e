// The application's open workbooks (Application::workbooks).
#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace tav::xls {

class Application;
class Workbook;

class Workbooks {
public:
    ~Workbooks();
    Workbooks(const Workbooks&) = delete;
    Workbooks& operator=(const Workbooks&) = delete;

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
    explicit Workbooks(Application* app);
    Application* app_;
    std::vector<std::unique_ptr<Workbook>> books_;
};

} // namespace tav::xls
