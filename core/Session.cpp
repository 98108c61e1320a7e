#include "Session.h"

#include "StoredFiles.h"

#include <climits>
#include <unistd.h>

namespace qb {

void Session::getcurrentdirectory()
{
    char buffer[PATH_MAX];
    currentdirectory = ::getcwd(buffer, sizeof buffer) ? buffer : "";
}

std::string Session::usersFilePath() const
{
    return joinPath(currentdirectory, "users.cfg");
}

std::string Session::mailFilePath() const
{
    return joinPath(currentdirectory, "mail.cfg");
}

std::string Session::recipientFolder(const std::string& name) const
{
    return joinPath(currentdirectory, name);
}

std::string Session::keyFilePath(const std::string& name) const
{
    return joinPath(recipientFolder(name), name + ".key");
}

std::string Session::messageFilePath(const std::string& name) const
{
    return joinPath(recipientFolder(name), "newmail.txt");
}

} // namespace qb
