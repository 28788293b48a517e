// Constants of the automation interface the engine's object model follows, with the
// values callers pass (their names in the desktop program's type library beside them).
#pragma once

#include <QString>

namespace tav::xls::xl {

inline constexpr int HAlignLeft = -4131;              // xlLeft
inline constexpr int HAlignCenter = -4108;            // xlCenter
inline constexpr int HAlignRight = -4152;             // xlRight
inline constexpr int HAlignGeneral = 1;               // xlGeneral
inline constexpr int HAlignFill = 5;                  // xlFill
inline constexpr int HAlignJustify = -4130;           // xlJustify
inline constexpr int HAlignCenterAcrossSelection = 7; // xlCenterAcrossSelection
inline constexpr int HAlignDistributed = -4117;       // xlDistributed
inline constexpr int VAlignTop = -4160;               // xlTop
inline constexpr int VAlignCenter = -4108;            // xlCenter
inline constexpr int VAlignBottom = -4107;            // xlBottom
inline constexpr int VAlignJustify = -4130;           // xlJustify
inline constexpr int VAlignDistributed = -4117;       // xlDistributed

// Text orientations besides an angle in degrees (Range::setOrientation).
inline constexpr int OrientationHorizontal = -4128; // xlHorizontal
inline constexpr int OrientationVertical = -4166;   // xlVertical: letters stacked
inline constexpr int OrientationUpward = -4171;     // xlUpward
inline constexpr int OrientationDownward = -4170;   // xlDownward

inline constexpr int EdgeLeft = 7;           // xlEdgeLeft
inline constexpr int EdgeTop = 8;            // xlEdgeTop
inline constexpr int EdgeBottom = 9;         // xlEdgeBottom
inline constexpr int EdgeRight = 10;         // xlEdgeRight
inline constexpr int InsideVertical = 11;    // xlInsideVertical
inline constexpr int InsideHorizontal = 12;  // xlInsideHorizontal
inline constexpr int LineContinuous = 1;     // xlContinuous
inline constexpr int LineNone = -4142;       // xlLineStyleNone
inline constexpr int LineDash = -4115;       // xlDash
inline constexpr int LineDot = -4118;        // xlDot
inline constexpr int LineDouble = -4119;     // xlDouble
inline constexpr int LineDashDot = 4;        // xlDashDot
inline constexpr int LineDashDotDot = 5;     // xlDashDotDot
inline constexpr int LineSlantDashDot = 13;  // xlSlantDashDot
inline constexpr int WeightHairline = 1;     // xlHairline
inline constexpr int WeightThin = 2;         // xlThin
inline constexpr int WeightMedium = -4138;   // xlMedium
inline constexpr int WeightThick = 4;        // xlThick
inline constexpr int ColorAutomatic = -4105; // xlColorIndexAutomatic
inline constexpr int ColorNone = -4142;      // xlColorIndexNone
inline constexpr int OrderDownThenOver = 1;  // xlDownThenOver
inline constexpr int OrderOverThenDown = 2;  // xlOverThenDown
inline constexpr int MsoTrue = -1;           // msoTrue
inline constexpr int MsoFalse = 0;           // msoFalse

// Paste formats accepted by Worksheet::pasteSpecial (the names of the Japanese
// user interface of the desktop program).
inline const QString PasteBitmap = QStringLiteral("ビットマップ");
inline const QString PasteJpeg = QStringLiteral("図 (JPEG)");

} // namespace tav::xls::xl
