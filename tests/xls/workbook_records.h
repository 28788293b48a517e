// Reading back what the engine wrote, for tests: the file's bytes, its Workbook stream
// and that stream's records. Each throws tav::Error when the file cannot be read or
// has no Workbook stream, so a test never passes on an empty list.
#pragma once

#include "platform/xls/biff.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace tav::xls::testing {

QByteArray fileBytes(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// Copies `from` over `to`; the copy is readable and writable by its owner (a template
// copied from a read-only checkout can be saved).
void copyFile(const QString& from, const QString& to);

// The Workbook stream of the compound file `file`.
QByteArray workbookStreamOf(const QByteArray& file);

// The records of the Workbook stream of the file at `path`.
std::vector<Record> workbookRecords(const QString& path);

int countRecords(const std::vector<Record>& records, std::uint16_t type);

} // namespace tav::xls::testing
