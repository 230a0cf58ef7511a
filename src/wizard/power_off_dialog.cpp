// The power-off page and the loading of the power pages' pictures.
#include "wizard/power_off_dialog.h"

#include <cstdio>

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "system/common_function.h"
#include "system/handle_owner.h"
#include "system/program_log.h"

BOOL kLoadPowerPicture(CKV_SETUPApp& app, CPowerPicture& picture, const std::string& strConfigured, UINT nResource,
                       int nPaletteIndex, const char* pszPage, const char* pszWhich) {
  std::string strWhy;
  if (!strConfigured.empty()) {
    const std::string strFile = app.m_strModulePath + strConfigured;
    std::string strShort;
    if (!CCommonFunction::kGetShortPathName(strFile.c_str(), strShort)) {
      kProgramLog().kWriteLog("%s::SetLogPalete Short path name get error for Bitmap of %s dialog\n", pszPage, pszWhich);
    } else {
      CHandleOwner file(CreateFileA(strShort.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.kIsValid()) {
        kProgramLog().kWriteLog("%s::SetLogPalete File Open Error(%d) for Bitmap of %s dialog\n", pszPage,
                                static_cast<int>(GetLastError()), pszWhich);
      } else {
        const DWORD dwSize = GetFileSize(file.kGet(), nullptr);
        // A picture has no business being larger than this; a larger file is
        // not read into memory at all.
        constexpr DWORD kMaxPicture = 64u * 1024 * 1024;
        std::vector<BYTE> vecData;
        if (dwSize == INVALID_FILE_SIZE || dwSize > kMaxPicture) {
          kProgramLog().kWriteLog("%s::SetLogPalete Memory Alloc Error for Bitmap of %s dialog\n", pszPage, pszWhich);
        } else {
          vecData.resize(dwSize);
          DWORD dwRead = 0;
          if (dwSize && ReadFile(file.kGet(), vecData.data(), dwSize, &dwRead, nullptr) && dwRead == dwSize &&
              picture.kParseFile(vecData.data(), vecData.size(), nPaletteIndex, &strWhy)) {
            // The package's picture is logged as the built-in one is: its
            // header follows the 14-byte file header.
            kProgramLog().kWriteLog("%s::GetTableSize() return dwColorTableSize=%d\n", pszPage,
                                    static_cast<int>(CPowerPicture::GetTableSize(vecData.data() + 14,
                                                                                 vecData.size() - 14)));
            return TRUE;
          }
          kProgramLog().kWriteLog("%s::SetLogPalete %s is not a usable bitmap (%s); the built-in picture is shown\n",
                                  pszPage, strShort.c_str(), strWhy.c_str());
        }
      }
    }
  }
  HMODULE hModule = GetModuleHandleA(nullptr);
  HRSRC hInfo = FindResourceA(hModule, MAKEINTRESOURCEA(nResource), RT_BITMAP);
  HGLOBAL hRes = hInfo ? LoadResource(hModule, hInfo) : nullptr;
  const BYTE* pData = hRes ? static_cast<const BYTE*>(LockResource(hRes)) : nullptr;
  const DWORD dwSize = hInfo ? SizeofResource(hModule, hInfo) : 0;
  if (pData && picture.kParse(pData, dwSize, nPaletteIndex, &strWhy)) {
    kProgramLog().kWriteLog("%s::GetTableSize() return dwColorTableSize=%d\n", pszPage,
                            static_cast<int>(CPowerPicture::GetTableSize(pData, dwSize)));
    return TRUE;
  }
  kProgramLog().kWriteLog("%s::SetLogPalete resource %u cannot be shown (%s)\n", pszPage, nResource, strWhy.c_str());
  return FALSE;
}

CPowerOffDialog::CPowerOffDialog(CKV_SETUPApp& app) : CUsbPage(app, IDD_POWEROFF) {}

BOOL CPowerOffDialog::SetLogPalete(UINT nResource, int nPaletteIndex) {
  return kLoadPowerPicture(m_app, m_Picture, m_app.m_strPowerOffBitmap, nResource, nPaletteIndex, "CPowerOffDialog",
                           "PowerOff");
}

BOOL CPowerOffDialog::OnInitDialog() {
  kSetPageTexts("IDS_DLG_POWEROFF_TITLE", "IDS_DLG_POWEROFF_SUBTITLE");
  kSetItemText(IDC_BACK, "IDS_DLG_POWEROFF_BACK");
  kSetItemText(IDOK, "IDS_DLG_POWEROFF_IDOK");
  kSetItemText(IDCANCEL, "IDS_DLG_POWEROFF_IDCANCEL");
  const std::string strGuide = kText("IDS_DLG_POWEROFF_GUIDE") + "\n" + kText("IDS_DLG_POWEROFF_GUIDE2");
  SetDlgItemTextA(m_hWnd, IDC_GUIDE, strGuide.c_str());
  SetDlgItemTextA(m_hWnd, IDC_GUIDE2, "");
  kHideItem(IDC_BACK);
  SetLogPalete(IDB_POWEROFF, 46);
  if (m_Picture.kIsLoaded()) {
    // The picture's caption for renderers that show no pictures.
    char szCaption[64];
    std::snprintf(szCaption, sizeof szCaption, "[picture %ldx%ld, %lu colours]", static_cast<long>(m_Picture.kWidth()),
                  static_cast<long>(m_Picture.kHeight()), static_cast<unsigned long>(m_Picture.kColorCount()));
    SetDlgItemTextA(m_hWnd, IDC_POWEROFF_PICTURE, szCaption);
  }
  return TRUE;
}

void CPowerOffDialog::kOnCommand(int nId, int nCode) {
  if (nCode != BN_CLICKED) return;
  if (nId == IDOK) kEndDialog(1);
  if (nId == IDCANCEL) kEndDialog(2);
  if (nId == IDC_BACK) kEndDialog(IDC_BACK);
}

BOOL CPowerOffDialog::OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw) {
  if (nIDCtl != IDC_POWEROFF_PICTURE) return FALSE;
  m_Picture.kDraw(pDraw);
  return TRUE;
}
