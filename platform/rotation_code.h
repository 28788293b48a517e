// The turn a picture is shown and placed with: 0 to 3 quarter turns clockwise, written
// as the rotation codes the lists and rotation boxes hold, "  0", " 90", "180" and "270"
// (the degrees right-aligned in three characters).
//
// The rotation boxes take typed text, so a row of the selection list can hold any text.
// The preview and the generation run read such text in two different ways, and both
// readings are here:
//
//     text     parseExact (the preview)   parseLenient (the run)
//     "  0"    no turn                    no turn
//     " 90"    one quarter turn           one quarter turn
//     "90"     no turn                    one quarter turn
//     " 90x"   no turn                    one quarter turn
//     "360"    no turn                    no turn
//     ""       no turn                    nothing: the file is inserted as it is
//
// A typed "90" is therefore shown unturned in the preview but placed turned in the
// workbook.
#pragma once

#include <QString>

#include <optional>

namespace tav {

class RotationCode {
public:
    // No turn ("  0").
    constexpr RotationCode() = default;
    // `turns` quarter turns clockwise, taken modulo 4 (-1 is three quarter turns).
    static constexpr RotationCode fromQuarterTurns(int turns) {
        return RotationCode(((turns % 4) + 4) % 4);
    }

    // The preview's reading: " 90", "180" and "270" compared exactly; any other text,
    // "  0" included, is no turn.
    static RotationCode parseExact(const QString& text);

    // The generation run's reading. The empty text gives nothing: the run then inserts
    // the picture file as it is instead of loading and turning it. Any other text is read
    // as the whole number at its start, after blanks and tabs, with an optional sign and
    // at most nine digits: 90, 180 and 270 turn, any other number or a text without one
    // is no turn.
    static std::optional<RotationCode> parseLenient(const QString& text);

    // The batch command line's reading of degrees: "0", "90", "180" or "270" exactly;
    // nothing for any other text.
    static std::optional<RotationCode> fromDegrees(const QString& degrees);

    int quarterTurns() const { return turns_; }
    // True for a quarter or three-quarter turn, which exchanges width and height.
    bool exchangesSides() const { return turns_ % 2 == 1; }
    // "  0", " 90", "180" or "270".
    QString text() const;

    bool operator==(const RotationCode&) const = default;

private:
    constexpr explicit RotationCode(int turns) : turns_(turns) {}
    int turns_ = 0;
};

} // namespace tav
