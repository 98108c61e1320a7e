#include "CommandRunner.h"
#include "KeyCommands.h"
#include "ScriptedUi.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>

namespace {

using qb::Answer;
using Texts = std::vector<std::string>;
const std::string kSelect = "Please select a Recipiant/Sender!";
const std::string kKey = std::string("key\x1a", 4) + "and what follows its end of data";

TEST(KeyCommands, NeedASelectedKeyAndExportOnlyOverAFileTheUserGivesUp)
{
    const struct
    {
        const char* name;
        std::string selected;
        void (qb::KeyCommands::*command)();
        std::optional<Answer> overwrite; // none: no file to overwrite
        std::string exported;            // "": no file
    } rows[] = {
        {"fingerprint, none selected", "", &qb::KeyCommands::KeyFingerprint1Click, {}, ""},
        {"export, none selected", "", &qb::KeyCommands::ExportKey1Click, {}, ""},
        {"export, selected without a key", "amy", &qb::KeyCommands::ExportKey1Click, {}, ""},
        {"export to a new file", "bob", &qb::KeyCommands::ExportKey1Click, {}, kKey},
        {"export over a file, No", "bob", &qb::KeyCommands::ExportKey1Click, Answer::No, "old"},
        {"export over a file, Yes", "bob", &qb::KeyCommands::ExportKey1Click, Answer::Yes, kKey},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        qbtest::TempDir dir;
        dir.writeFile("bob/bob.key", kKey);
        ASSERT_EQ(::chmod(dir.file("bob/bob.key").c_str(), 0644), 0); // as an older version left it
        dir.makeFolder("amy");
        dir.makeFolder("out");
        const std::string target = dir.file("out/given.key");
        if (row.overwrite)
            dir.writeFile("out/given.key", "old");
        qb::Session session;
        session.currentdirectory = dir.path();
        session.currentuser = row.selected;
        qbtest::ScriptedMainView view;
        const bool warned = row.selected != "bob";
        if (warned)
            view.scripted.answerMessage(Answer::Ok);
        else
            view.scripted.acceptExport(target);
        if (row.overwrite)
            view.scripted.answerMessage(*row.overwrite);
        qb::KeyCommands commands(session, view);
        qb::runCommand(view.scripted, [&] { (commands.*row.command)(); });

        EXPECT_EQ(view.scripted.boxTexts(), warned          ? Texts{kSelect}
                                            : row.overwrite ? Texts{"OK to overwrite " + target}
                                                            : Texts{});
        EXPECT_TRUE(view.scripted.errors().empty());
        if (row.overwrite) {
            EXPECT_EQ(view.scripted.boxes()[0].defaultButton, qb::DefaultButton::No);
        }
        EXPECT_EQ(dir.exists("out/given.key") ? dir.readFile("out/given.key") : "", row.exported);
        if (row.exported == kKey) {
            EXPECT_EQ(view.scripted.exportProposals(), Texts{"bob.key"});
            EXPECT_EQ(view.statusMessages, Texts{"Key exported to " + target + "."});
            struct stat info
            {
            };
            ASSERT_EQ(::stat(target.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u) << "a copy of a key that others can read";
            ASSERT_EQ(::stat(dir.file("bob/bob.key").c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u) << "a key that others can read, used and left so";
        }
    }
}

} // namespace
