#include "tests/xls/workbook_records.h"

#include "platform/error.h"
#include "platform/xls/ole.h"

#include <QFile>

#include <algorithm>

namespace tav::xls::testing {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Error(err::FileNotFound, QStringLiteral("cannot read %1").arg(path));
    }
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw Error(err::PathFileAccess, QStringLiteral("cannot write %1").arg(path));
    }
}

void copyFile(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to)) {
        throw Error(err::PathFileAccess, QStringLiteral("cannot copy %1 to %2").arg(from, to));
    }
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

QByteArray workbookStreamOf(const QByteArray& file) {
    for (const OleStream& s : readOleFile(file, QStringLiteral("test file")).streams) {
        if (s.name == QLatin1String("Workbook")) {
            return s.data;
        }
    }
    throw Error(err::EngineRefused, QStringLiteral("no Workbook stream"));
}

std::vector<Record> workbookRecords(const QString& path) {
    return splitRecords(workbookStreamOf(fileBytes(path)));
}

int countRecords(const std::vector<Record>& records, std::uint16_t type) {
    return static_cast<int>(std::count_if(records.begin(), records.end(),
                                          [type](const Record& r) { return r.type == type; }));
}

} // namespace tav::xls::testing
