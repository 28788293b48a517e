// A generation run in miniature, for tests and benchmarks: lays out pictures on
// Sheet1 the way the product's layouts do (one picture per row without notes, or the
// notes layout with ruled lines), through the engine's object model only.
#pragma once

#include "platform/xls/engine.h"

#include <QImage>
#include <QString>

#include <functional>

namespace tav::xls::testing {

struct SampleOptions {
    int pictures = 1;
    bool notes = false;   // notes layout: 44 rows of 18 pt, ruled notes column D
    bool jpegPass = true; // convert every picture to a JPEG picture at the end
    bool noisy = false;   // large pictures full of noise (big JPEGs)
    QString title = QStringLiteral("現場写真帳 タイトル");
    QString subject = QStringLiteral("表題：工事記録");
    QString author = QStringLiteral("山田 太郎");
    QString comments = QStringLiteral("コメント ｶﾀｶﾅ and ASCII");
};

// The picture number i (0-based) of a sample: a synthetic photo whose aspect ratio
// cycles through 4:3, 3:4, 2:1, 1:1 and 16:9.
QImage samplePicture(int i, int longSide = 400, bool noisy = false);

// Box of the sample layouts in points.
inline constexpr double BoxWidthNoNotes = 370;
inline constexpr double BoxHeightNoNotes = 278;
inline constexpr double BoxWidthNotes = 370;
inline constexpr double BoxHeightNotes = 297;

// Anchor cell of picture i, e.g. "H6".
QString sampleAnchor(const SampleOptions& options, int i);

// Fits the selected picture into a box as the product does: lock the aspect ratio,
// portrait pictures get the box height, others the box width, then the height capped.
void fitSelection(Application& app, double boxWidth, double boxHeight);

// Formats a text cell as the layouts do: alignments `horizontal` and `vertical` (xl::
// values), no wrapping, horizontal, no indent, no shrinking, not merged.
void formatCell(Range cell, int horizontal, int vertical);

// The JPEG pass: every picture of `sheet` is cut and pasted back at its cell as a
// JPEG picture ("図 (JPEG)"), in the order of the sheet's shapes.
void convertToJpegPictures(Application& app, Worksheet& sheet);

// Opens `templatePath`, lays out the sample and saves it as `outPath` (the template
// is copied first). `picture` supplies the pixels (default samplePicture).
void writeSample(const QString& templatePath, const QString& outPath, const SampleOptions& options,
                 const std::function<QImage(int)>& picture = {});

} // namespace tav::xls::testing
