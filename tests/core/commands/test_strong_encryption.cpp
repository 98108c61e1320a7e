#include "CommandRunner.h"
#include "EditCommands.h"
#include "KeyCommands.h"
#include "MessageCipher.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "StrongCipher.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;
const char* const kTurnOnQuestion =
    "Strong encryption is only as safe as a key that never carried classic messages. Make a new key for bob now? "
    "Give bob the new key with Export Key, as you did the first.";
const char* const kRefused =
    "The message cannot be decrypted with bob's key: it was changed, cut short or encrypted with another key.";
const char* const kClassicForStrong =
    "This message is not strongly encrypted. Its content cannot be checked: anyone who has read earlier classic "
    "messages could have written or changed it. Decrypt it with the classic cipher?";
const char* const kUndoesDecrypt =
    "This is what Decrypt made of the message. Encrypting it gives back the text you decrypted. Go on?";

// Two copies of the program, on both sides of a correspondence: each has bob's key under the name bob.
class StrongEncryptionTest : public ::testing::Test
{
protected:
    StrongEncryptionTest()
    {
        session.currentdirectory = dir.path();
        session.currentuser = "bob";
        dir.makeFolder("bob");
        dir.writeFile("bob/bob.key", std::string(1000, '\x03'));
        view.pathField.setText(dir.file("bob/newmail.txt"));
    }

    // Runs a command as the window does; the boxes it showed.
    Texts run(void (qb::MessageCipher::*command)())
    {
        const std::size_t before = view.scripted.boxTexts().size();
        qb::runCommand(view.scripted, [&] { (cipher.*command)(); });
        const Texts all = view.scripted.boxTexts();
        return Texts(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    }
    qb::DefaultButton lastDefault() const { return view.scripted.boxes().back().defaultButton; }
    void setStrong(qb::Answer answer)
    {
        view.scripted.answerMessage(answer);
        qb::runCommand(view.scripted, [&] { keys.StrongEncryption1Click(); });
    }
    std::string message() const { return dir.readFile("bob/newmail.txt"); }

    qbtest::TempDir dir;
    qb::Session session;
    qbtest::ScriptedMainView view;
    qb::MessageCipher cipher{session, view};
    qb::KeyCommands keys{session, view};
};

TEST_F(StrongEncryptionTest, TurningItOnAsksForANewKeyWithYesAsTheDefaultAndCancelChangesNothing)
{
    EXPECT_EQ(keys.strongEncryptionChecked(), false);
    setStrong(qb::Answer::Cancel);
    EXPECT_EQ(keys.strongEncryptionChecked(), false);
    ASSERT_EQ(view.scripted.boxTexts(), Texts{kTurnOnQuestion});
    EXPECT_EQ(lastDefault(), qb::DefaultButton::OkOrYes);

    // Yes: a new key, then the copy for bob.
    view.scripted.acceptExport(dir.file("for-bob.key"));
    setStrong(qb::Answer::Yes);
    EXPECT_EQ(keys.strongEncryptionChecked(), true);
    EXPECT_EQ(dir.readFile("bob/bob.cipher"), "strong\n");
    EXPECT_NE(dir.readFile("bob/bob.key"), std::string(1000, '\x03'));
    EXPECT_EQ(dir.readFile("for-bob.key"), dir.readFile("bob/bob.key"));

    qb::runCommand(view.scripted, [&] { keys.StrongEncryption1Click(); }); // off again, unasked
    EXPECT_EQ(keys.strongEncryptionChecked(), false);
    EXPECT_FALSE(dir.exists("bob/bob.cipher"));
    session.currentuser.clear();
    EXPECT_EQ(keys.strongEncryptionChecked(), std::nullopt) << "disabled with no one selected";
}

TEST_F(StrongEncryptionTest, AStrongMessageGoesThroughTheEditorAndMailTextAndTurnsStrongOnWhereItIsRead)
{
    setStrong(qb::Answer::No);
    view.editor.type("Pay Ben 100 dollars.");
    EXPECT_EQ(run(&qb::MessageCipher::Encrypt1Click), Texts{});
    ASSERT_TRUE(qb::isStrongMessage(message()));
    EXPECT_EQ(message().size(), qb::strongMessageSize(20));
    EXPECT_EQ(view.editor.text(), message()) << "shown whole";
    qb::EditCommands(view, session.shownMessage).CopyAsMailText1Click();
    const std::string mailText = view.systemClipboard.text();

    // The other side, with strong still off, pastes the mail text into a new message.
    qb::Session other;
    other.currentdirectory = dir.path();
    other.currentuser = "bob";
    qbtest::ScriptedMainView otherView;
    otherView.pathField.setText(dir.file("bob/received.txt"));
    std::filesystem::remove(dir.file("bob/bob.cipher"));
    otherView.editor.type(mailText);
    qb::MessageCipher otherCipher(other, otherView);
    qb::runCommand(otherView.scripted, [&] { otherCipher.Decrypt1Click(); });
    EXPECT_EQ(otherView.scripted.boxTexts(), Texts{});
    EXPECT_EQ(dir.readFile("bob/received.txt"), "Pay Ben 100 dollars.");
    EXPECT_EQ(dir.readFile("bob/bob.cipher"), "strong\n");
    EXPECT_EQ(otherView.statusMessages,
              Texts{"Decrypted strongly with bob's key. Strong encryption is now on for bob."});
}

TEST_F(StrongEncryptionTest, AChangedStrongMessageIsRefusedWithNothingWritten)
{
    setStrong(qb::Answer::No);
    view.editor.type("Pay Ben 100 dollars.");
    run(&qb::MessageCipher::Encrypt1Click);
    std::string changed = message();
    changed[qb::kStrongHeader + 5] = static_cast<char>(changed[qb::kStrongHeader + 5] ^ 0x08);
    dir.writeFile("bob/newmail.txt", changed);
    view.editor.setText("");
    view.editor.takeAllBytes(std::string(changed));
    view.scripted.answerMessage(qb::Answer::Ok);
    EXPECT_EQ(run(&qb::MessageCipher::Decrypt1Click), Texts{kRefused});
    EXPECT_EQ(message(), changed);

    dir.writeFile("bob/bob.key", std::string(39, '\x03')); // too short ever to have made one
    view.scripted.answerMessage(qb::Answer::Ok);
    EXPECT_EQ(run(&qb::MessageCipher::Decrypt1Click), Texts{kRefused});
    EXPECT_EQ(message(), changed);
}

TEST_F(StrongEncryptionTest, QuestionsWhereTheClassicCipherWouldMisleadDefaultToNo)
{
    // Typed text decrypted by mistake, then encrypted: it would go out as the plain text it was.
    view.editor.type("Dear Ann, the safe code is 4711.");
    run(&qb::MessageCipher::Decrypt1Click);
    view.scripted.answerMessage(qb::Answer::No);
    EXPECT_EQ(run(&qb::MessageCipher::Encrypt1Click), Texts{kUndoesDecrypt});
    EXPECT_EQ(lastDefault(), qb::DefaultButton::No);
    view.scripted.answerMessage(qb::Answer::Yes);
    run(&qb::MessageCipher::Encrypt1Click);
    EXPECT_EQ(message(), "Dear Ann, the safe code is 4711.");
    EXPECT_EQ(session.shownMessage.ciphertextKey(view.editor), std::nullopt) << "plain text is not ciphertext";

    // Classic input for a correspondent set to strong.
    setStrong(qb::Answer::No);
    view.scripted.answerMessage(qb::Answer::No);
    EXPECT_EQ(run(&qb::MessageCipher::Decrypt1Click), Texts{kClassicForStrong});
    EXPECT_EQ(lastDefault(), qb::DefaultButton::No);
    EXPECT_EQ(message(), "Dear Ann, the safe code is 4711.") << "nothing written";

    // A key too short for strong messages says so, and Encrypt writes nothing.
    dir.writeFile("bob/bob.key", "short key");
    view.editor.setText("Another message");
    EXPECT_EQ(run(&qb::MessageCipher::Encrypt1Click), Texts{});
    ASSERT_FALSE(view.scripted.errors().empty());
    EXPECT_EQ(view.scripted.errors().back(),
              "bob's key is too short for strong encryption: 9 usable bytes, and it takes at least 40.");
    EXPECT_EQ(message(), "Dear Ann, the safe code is 4711.");
}

} // namespace
