#pragma once

#include "FileIdentity.h"
#include "KeyFingerprint.h"
#include "Session.h"
#include "TextFile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qb {

// Which cipher Encrypt uses for a correspondent: the classic one unless strong encryption was turned on.
enum class Cipher { Classic, Strong };

// What NAME.cipher says: classic where there is no such file, strong where it holds "strong" and a line end. Any other
// content (or a file that cannot be read) counts as strong too, and `odd` says so, for a warning: a setting that may
// have been strong is never taken for classic.
struct CipherSetting
{
    Cipher cipher = Cipher::Classic;
    bool odd = false;
};

// The files of the correspondents, without dialogs: the list users.cfg, a folder per name and its key. The rules the
// window's New Recipiant and Import Key follow, for them and for the command line alike. Checked: failures raise.
class CorrespondentFiles
{
public:
    explicit CorrespondentFiles(Session& session) : m_session(session) {}

    // True when users.cfg is there to take a name; false when it is missing. One that is there but cannot be used
    // raises its reason ("File access denied", "I/O error 32" while another copy holds it): it is never created over.
    bool usersFileReady() const;
    // Creates users.cfg, or empties it, as a whole new file.
    void createUsersFile() const;
    // Calls `onName` for each line of users.cfg in order; returns 0, or the code of the failure to open it, having read
    // nothing.
    // A line longer than a name can be (255 bytes) is skipped, and `onTooLong` hears of it.
    int readNames(const std::function<void(const std::string&)>& onName,
                  const std::function<void()>& onTooLong = {}) const;
    // Makes the correspondent's folder when missing, private to its owner, and takes others' access from an older
    // folder and key; the outcome shows in the steps that follow.
    void makeFolder(const CorrespondentPaths& correspondent) const;
    bool hasKey(const CorrespondentPaths& correspondent) const;
    // Writes a freshly generated key as the correspondent's key, whole on disk before it takes the key's name. With
    // `replacing` it replaces an old key; without, it is put in place only where no key is, and false says that one
    // appeared meanwhile (another running copy gave the name a key), nothing changed.
    bool writeGeneratedKey(const CorrespondentPaths& correspondent, bool replacing) const;
    // Appends the name to users.cfg, in one flushed write, unless it is there already, in one step under the list's
    // lock: a name is listed once, even when two running copies list it at the same moment. Only once its key is whole.
    // Returns users.cfg as it was once held, before the name was appended.
    FileIdentity list(const std::string& name) const;
    CipherSetting cipherOf(const CorrespondentPaths& correspondent) const;
    // Writes NAME.cipher for strong, whole and private like every file of the data directory, or removes it for
    // classic; checked.
    void setCipher(const CorrespondentPaths& correspondent, Cipher cipher) const;

    // The fingerprint and length of the name's key; std::nullopt when it has none that can be opened.
    std::optional<KeySummary> keySummary(const std::string& name) const;
    // Its fingerprint alone.
    std::optional<std::string> keyFingerprint(const std::string& name) const;
    // The first name in users.cfg's order whose key has `fingerprint`: the correspondent a message names by its key.
    // Raises "I/O error 32" for a list another running copy holds past the wait, and EKeyInUse for a key it holds
    // when no other key is the one.
    std::optional<std::string> firstHolderOf(const std::string& fingerprint) const;

private:
    Session& m_session;
};

// What is said when no correspondent holds the key a message names, without a closing full stop: the window's box
// ends the sentence, quillbox-cli's line does not.
std::string noKeyHolderText(const std::string& fingerprint);
// What is said of a NAME.cipher that holds neither setting.
std::string oddCipherFileText(const std::string& path);
// "classic" or "strong", as the CLI prints and takes them.
const char* cipherWord(Cipher cipher);

// What Import Key and quillbox-cli import say, with the name and file as they are to be shown: a name that has a key
// keeps it; a file with no usable byte is refused; a file that goes on after its usable part is cut there.
std::string keyKeptText(const std::string& name, const std::string& source);
std::string noUsableKeyText(const std::string& source);
std::string keptPartText(std::uint64_t length);

// What an import kept of its source: the bytes before the first byte 26, since a key ends there on both sides.
struct ImportedKey
{
    std::uint64_t length;
    bool cutAtMark; // the source went on after its usable part
};

// A key copied from a file the user has, as Import Key copies it: text mode, up to the source's end of data. The
// source is opened and checked first; the key is written, whole before it replaces anything, only by copyAndFinish.
class KeyImport
{
public:
    // Raises "File access denied" for a key reached through a symbolic link.
    KeyImport(IoContext& io, const CorrespondentPaths& correspondent);

    // Opens the file to copy; false when it cannot be read.
    bool openSource(const std::string& path);
    // Reads the key from a file already open, of any kind (standard input, a pipe).
    void openSource(PosixFile&& file);
    // False for a source with no byte before its end of data (empty, or starting with 26): it holds no key, and the
    // key it would give, the single byte 26, is no one's. Checked.
    bool sourceIsUsable();
    // Copies the source's usable part into the key and puts the key in place where no key is; the correspondent's
    // folder is there. std::nullopt when a key appeared there meanwhile (another running copy made one): it is kept.
    std::optional<ImportedKey> copyAndFinish();

private:
    IoContext& m_io;
    std::string m_keyFile;
    TextFile m_key;
    TextFile m_source;
};

} // namespace qb
