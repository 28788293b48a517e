// The three readings of a rotation text: the preview's exact one, the run's lenient one
// and the batch command line's degrees.
#include "platform/rotation_code.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

constexpr int kNothing = -1; // no reading at all

TEST(RotationCode, PreviewExactRunLenientBatchDegrees) {
    const struct {
        const char* text;
        int exact, lenient, degrees; // quarter turns, or kNothing
    } rows[] = {
        {"  0", 0, 0, kNothing},
        {" 90", 1, 1, kNothing},
        {"180", 2, 2, 2},
        {"270", 3, 3, 3},
        {"0", 0, 0, 0},
        {"90", 0, 1, 1}, // typed: shown unturned, placed turned
        {"\t90", 0, 1, kNothing},
        {"+90", 0, 1, kNothing},
        {" 90x", 0, 1, kNothing},
        {" 90 ", 0, 1, kNothing},
        {" 180", 0, 2, kNothing},
        {"0090", 0, 1, kNothing},
        {"-90", 0, 0, kNothing},
        {"360", 0, 0, kNothing},
        {"45", 0, 0, kNothing},
        {"abc", 0, 0, kNothing},
        {"０", 0, 0, kNothing},
        {"99999999999999", 0, 0, kNothing},
        {"", 0, kNothing, kNothing}, // the run inserts the file as it is
    };
    const auto turnsOf = [](std::optional<RotationCode> code) {
        return code ? code->quarterTurns() : kNothing;
    };
    for (const auto& r : rows) {
        const QString text = QString::fromUtf8(r.text);
        SCOPED_TRACE('"' + std::string(r.text) + '"');
        EXPECT_EQ(RotationCode::parseExact(text).quarterTurns(), r.exact);
        EXPECT_EQ(turnsOf(RotationCode::parseLenient(text)), r.lenient);
        EXPECT_EQ(turnsOf(RotationCode::fromDegrees(text)), r.degrees);
    }
}

// Every code reads back as itself in each reading; turn counts wrap around.
TEST(RotationCode, TextsReadBack) {
    const char* const texts[] = {"  0", " 90", "180", "270"};
    for (int turns = 0; turns < 4; ++turns) {
        const RotationCode code = RotationCode::fromQuarterTurns(turns);
        EXPECT_EQ(code.text(), QLatin1String(texts[turns]));
        EXPECT_EQ(RotationCode::parseExact(code.text()), code);
        EXPECT_EQ(RotationCode::parseLenient(code.text()), code);
        EXPECT_EQ(RotationCode::fromDegrees(QString::number(turns * 90)), code);
        EXPECT_EQ(code.exchangesSides(), turns == 1 || turns == 3);
    }
    EXPECT_EQ(RotationCode::fromQuarterTurns(-1), RotationCode::fromQuarterTurns(3));
    EXPECT_EQ(RotationCode::fromQuarterTurns(5), RotationCode::fromQuarterTurns(1));
    EXPECT_EQ(RotationCode(), RotationCode::fromQuarterTurns(4));
}

} // namespace
} // namespace tav
