#include "ModelIdentity.h"

#include "ProfileIni.h"

ModelIdentity ReadModelIdentity(const std::string& iniPath)
{
    CProfileIni profile;
    profile.SetPath(iniPath.c_str());
    return {profile.GetString("MODEL", "MFG", "ORVEL"), profile.GetString("MODEL", "MDL", "QX7S&QN8S"),
            profile.GetString("MODEL", "COUNTRY", "ENG")};
}
