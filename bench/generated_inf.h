// The INF the parse benchmarks time: [Manufacturer] -> one model section of
// `models` lines, all installing the same driver file.
#pragma once

#include <string>

inline std::string makeInf(int models) {
  std::string inf =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\nProvider=%Maker%\r\n"
      "[Manufacturer]\r\n%Maker%=Models,NTamd64\r\n[Models.NTamd64]\r\n";
  for (int i = 0; i < models; ++i) {
    const std::string n = std::to_string(i);
    inf += "\"%Maker% Model " + n + "\" = DRV_INSTALL, USBPRINT\\MakerModel" + n + ", MakerModel" + n + "\r\n";
  }
  inf += "[DRV_INSTALL]\r\nCopyFiles=DRV_FILES\r\nDriverFile=kxdrv.dll\r\n[DRV_FILES]\r\nkxdrv.dll\r\n"
         "[DestinationDirs]\r\nDefaultDestDir=66000\r\n[Strings]\r\nMaker=\"Bench Maker\"\r\n";
  return inf;
}
