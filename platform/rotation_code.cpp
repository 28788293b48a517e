#include "platform/rotation_code.h"

#include <array>

namespace tav {

namespace {

const std::array<QString, 4> kCodes = {QStringLiteral("  0"), QStringLiteral(" 90"),
                                       QStringLiteral("180"), QStringLiteral("270")};

// The whole number at the start of `text` after blanks and tabs, with an optional sign;
// 0 when there is none or it has more than nine digits.
int leadingNumber(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() &&
           (text[start] == QLatin1Char(' ') || text[start] == QLatin1Char('\t'))) {
        ++start;
    }
    qsizetype end = start;
    if (end < text.size() && (text[end] == QLatin1Char('+') || text[end] == QLatin1Char('-'))) {
        ++end;
    }
    const qsizetype digits = end;
    while (end < text.size() && text[end] >= QLatin1Char('0') && text[end] <= QLatin1Char('9')) {
        ++end;
    }
    if (end == digits || end - digits > 9) {
        return 0;
    }
    return text.mid(start, end - start).toInt();
}

RotationCode fromAngle(int degrees) {
    switch (degrees) {
    case 90:
        return RotationCode::fromQuarterTurns(1);
    case 180:
        return RotationCode::fromQuarterTurns(2);
    case 270:
        return RotationCode::fromQuarterTurns(3);
    default:
        return {};
    }
}

} // namespace

RotationCode RotationCode::parseExact(const QString& text) {
    for (int turns = 1; turns < 4; ++turns) {
        if (text == kCodes[static_cast<std::size_t>(turns)]) {
            return fromQuarterTurns(turns);
        }
    }
    return {};
}

std::optional<RotationCode> RotationCode::parseLenient(const QString& text) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return fromAngle(leadingNumber(text));
}

std::optional<RotationCode> RotationCode::fromDegrees(const QString& degrees) {
    for (int turns = 0; turns < 4; ++turns) {
        if (degrees == QString::number(turns * 90)) {
            return fromQuarterTurns(turns);
        }
    }
    return std::nullopt;
}

QString RotationCode::text() const {
    return kCodes[static_cast<std::size_t>(turns_)];
}

} // namespace tav
