#include "ModelIdentity.h"

#include "ProfileIni.h"

namespace
{
const char kSection[] = "MODEL";
}  // namespace

ModelIdentity ReadModelIdentity(const std::string& iniPath)
{
    CProfileIni profile;
    profile.SetPath(iniPath.c_str());
    return {profile.GetString(kSection, "MFG", "ORVEL"), profile.GetString(kSection, "MDL", "QX7S&QN8S"),
            profile.GetString(kSection, "COUNTRY", "ENG")};
}

bool HasModelSection(const std::string& iniPath)
{
    CProfileIni profile;
    profile.SetPath(iniPath.c_str());
    return profile.HasKeys(kSection);
}
