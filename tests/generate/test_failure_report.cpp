// The failure report's classes and their exact messages.
#include "generate/failure_report.h"

#include <gtest/gtest.h>

namespace tav {
namespace {

TEST(FailureReport, Classification) {
    const struct {
        int number;
        FailureClass expected;
    } cases[] = {
        {70, FailureClass::TargetOpen},
        {53, FailureClass::TemplateMissing},
        {55, FailureClass::TemplateMissing},
        {76, FailureClass::TemplateMissing},
        {429, FailureClass::NoSpreadsheet},
        {-2147024894, FailureClass::NoSpreadsheet},
        {50289, FailureClass::ProjectProtected},
        {58, FailureClass::Other},
        {481, FailureClass::Other},
        {1004, FailureClass::Other},
        {52, FailureClass::Other},
        {75, FailureClass::Other},
        {0, FailureClass::Other},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(classifyFailure(c.number), c.expected) << c.number;
    }
}

TEST(FailureReport, ExactTexts) {
    const FailureMessage open = failureMessage(70, QStringLiteral("ignored"));
    EXPECT_EQ(open.text, QStringLiteral("保存先と同名のExcelファイルが開かれています。\r\rExcelファ"
                                        "イルを閉じて下さい。\r本ソフトを終了します。"));
    EXPECT_TRUE(open.endsProgram);
    EXPECT_EQ(open.icon, MessageIcon::None);

    const FailureMessage missing = failureMessage(76, QStringLiteral("ignored"));
    EXPECT_EQ(missing.text,
              QStringLiteral(
                  "Excel元ファイルが存在しません。\rExcelBook.orgを同一フォルダに格納下さい。"));
    EXPECT_FALSE(missing.endsProgram);

    const FailureMessage none = failureMessage(-2147024894, QString());
    EXPECT_EQ(none.text, QStringLiteral("Excelが見つかりません。Excelが起動不可能の状態です"));
    EXPECT_EQ(none.icon, MessageIcon::Exclamation);
    EXPECT_FALSE(none.endsProgram);

    const FailureMessage protectedProject = failureMessage(50289, QString());
    EXPECT_EQ(protectedProject.text, QStringLiteral("プロジェクトが保護されています。\r保護を解除し"
                                                    "てから選択下さい。\r本ソフトを終了します。"));
    EXPECT_TRUE(protectedProject.endsProgram);

    const FailureMessage other = failureMessage(481, QStringLiteral("'/x/a.jpg': not a picture"));
    EXPECT_EQ(other.text,
              QStringLiteral(
                  "ｴﾗｰNo:481\r\n\r\nｴﾗｰ発生時点、ｴﾗｰNo、内容を控え連絡して下さい。\r\n\r\n内容:'/x/"
                  "a.jpg': not a picture"));
    EXPECT_FALSE(other.endsProgram);
    EXPECT_EQ(failureMessage(-1, QString()).text.left(8), QStringLiteral("ｴﾗｰNo:-1"));

    for (int n : {70, 53, 429, 50289, 1004}) {
        EXPECT_EQ(failureMessage(n, QString()).title, QStringLiteral("Tavolin、画像ファイル生成"));
    }
}

} // namespace
} // namespace tav
