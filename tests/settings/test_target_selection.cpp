// The target folder browser's rules for folderFixed, and the layout-family switch.
#include "platform/testing/scripted_dialogs.h"
#include "settings/target_selection.h"

#include <gtest/gtest.h>

namespace {

struct FolderCase {
    const char* what;
    const char* label; // LblFolderName before
    bool fixedBefore;
    const char* answer;  // folder browser result, nullptr = cancel
    const char* initial; // expected initial folder of the browser
    const char* labelAfter;
    bool fixedAfter;
};

TEST(TargetSelection, FolderBrowserFixesOnlyAChangedFolder) {
    const FolderCase cases[] = {
        {"different folder chosen", "/a", false, "/b", "/a", "/b", true},
        {"same folder confirmed", "/a", false, "/a", "/a", "/a", false},
        {"cancel", "/a", false, nullptr, "/a", "/a", false},
        {"empty label, cancel: browser folder comes in", "", false, nullptr, "/browse", "/browse",
         false},
        {"empty label, folder chosen", "", false, "/x", "/browse", "/x", true},
        {"already fixed stays fixed on cancel", "/a", true, nullptr, "/a", "/a", true},
        {"case differs: another folder", "/a", false, "/A", "/a", "/A", true},
    };
    for (const FolderCase& c : cases) {
        tav::testing::ScriptedDialogs dialogs;
        if (c.answer) {
            dialogs.folderAnswers.push_back(QLatin1String(c.answer));
        }
        const auto choice = tav::chooseTargetFolder(dialogs, nullptr, QLatin1String(c.label),
                                                    QStringLiteral("/browse"), c.fixedBefore);
        ASSERT_EQ(dialogs.browseInitialFolders.size(), 1) << c.what;
        EXPECT_EQ(dialogs.browseInitialFolders[0], QLatin1String(c.initial)) << c.what;
        EXPECT_EQ(dialogs.shown[0].text, tav::targetFolderPrompt()) << c.what;
        EXPECT_EQ(choice.folder, QLatin1String(c.labelAfter)) << c.what;
        EXPECT_EQ(choice.folderFixed, c.fixedAfter) << c.what;
        EXPECT_EQ(dialogs.messageCount(), 0) << c.what;
    }
}

TEST(TargetSelection, LayoutFamilyEnablesItsFrameAndSampleOnly) {
    const auto notes = tav::layoutFamilyState(0);
    EXPECT_TRUE(notes.withNotesSampleEnabled && notes.withNotesLayoutsEnabled);
    EXPECT_FALSE(notes.withoutNotesSampleEnabled || notes.withoutNotesLayoutsEnabled);
    const auto plain = tav::layoutFamilyState(1);
    EXPECT_TRUE(plain.withoutNotesSampleEnabled && plain.withoutNotesLayoutsEnabled);
    EXPECT_FALSE(plain.withNotesSampleEnabled || plain.withNotesLayoutsEnabled);
}

} // namespace
