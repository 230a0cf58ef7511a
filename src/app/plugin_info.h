// One plug-in component of a driver package, as the setup configuration
// lists it in a section of its own ("[PLUGIN.xxx]").
#pragma once

#include <string>

struct CPluginInfo {
  std::string strSectionName;  // upper case, as compared
  std::string strComponentName;
  std::string strSetup;  // the command text as written
  std::string strStatusMonitorSupport;
  std::string strPlatform;  // "", "NTx86" or "NTamd64"
};
