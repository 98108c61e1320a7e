#pragma once

#include "Session.h"

#include <string>

namespace qbcli {

// The folder named by --data, else $QUILLBOX_DATA, else ~/Quillbox: the folder the window program works in.
std::string chooseDataDirectory(const std::string& fromOption);

// Makes the data directory, private to its owner, and the folders above it when missing, as the window's launcher
// does; raises the launcher's complaint when it cannot.
void makeDataDirectory(const std::string& path);

// Takes the existing data directory as the session's, by its real path, so every stored file is reached the way the
// window reaches it; raises when it is missing or cannot be listed.
void enterDataDirectory(qb::Session& session, const std::string& path);

// `path` as an absolute path from the working directory: files named on the command line are the user's, found
// where the user stands, not in the data directory.
std::string absolutePath(const std::string& path);

} // namespace qbcli
