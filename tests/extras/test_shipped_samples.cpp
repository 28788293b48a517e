// The sample workbooks that the build put into the program folder: each opens as a
// workbook and holds its pictures on Sheet1, and carries the sample's title.
#include "platform/paths.h"
#include "platform/xls/engine.h"
#include "settings/sample_workbooks.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace tav {
namespace {

TEST(ShippedSamples, OpenWithTheirPictures) {
    const struct {
        SampleKind kind;
        QString title;
    } samples[] = {{SampleKind::WithNotes, QStringLiteral(TAVOLIN_NOTES_SAMPLE_TITLE)},
                   {SampleKind::WithoutNotes, QStringLiteral(TAVOLIN_PLAIN_SAMPLE_TITLE)}};
    for (const auto& [kind, title] : samples) {
        const QString path = joinPath(QStringLiteral(TAVOLIN_DIST), sampleFileName(kind));
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(QFileInfo(path).isFile());
        xls::Application app;
        xls::Workbook& book = app.workbooks().open(path);
        xls::Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
        EXPECT_EQ(sheet.shapeCount(), TAVOLIN_SAMPLE_PICTURES);
        app.quit();
        // The title is in the summary information (stored as UTF-16 text).
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray utf16(reinterpret_cast<const char*>(title.utf16()), title.size() * 2);
        EXPECT_TRUE(file.readAll().contains(utf16));
        // Small enough to ship: the pictures are stored as JPEG at their placed size.
        EXPECT_LT(QFileInfo(path).size(), 1500 * 1024);
    }
}

} // namespace
} // namespace tav
