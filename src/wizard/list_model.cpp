#include "wizard/list_model.h"

#include "app/kv_setup_app.h"
#include "system/program_log.h"

const char* const CListModel::kPrinterPortText = "\xCC\xDF\xD8\xDD\xC0\xCE\xDF\xB0\xC4";

namespace {

const CListModelRecord* recordOf(void* pData) { return static_cast<const CListModelRecord*>(pData); }

bool isPrinterPort(const std::string& strAddress) {
  return lstrcmpiA(strAddress.c_str(), CListModel::kPrinterPortText) == 0;
}

}  // namespace

CListModel::~CListModel() {
  // The records are this class's: free them while it still exists. The
  // page's window is usually gone by now, so the records are reached through
  // the list's own store, not through the window's items.
  kDeleteAllItems();
  kFreeAllRecords();
}

UINT CListModel::GetColumnFormat(int nColumn) {
  const UINT uFormat = CAdvListCtrl::GetColumnFormat(nColumn);
  // The address column is right-aligned.
  return nColumn == 1 ? (uFormat | DT_RIGHT) : uFormat;
}

void CListModel::DeleteItemData(void* pData) { delete static_cast<CListModelRecord*>(pData); }

std::string CListModel::GetItemText(void* pData, int nColumn) {
  const CListModelRecord* pRecord = recordOf(pData);
  if (!pRecord) return std::string();
  switch (nColumn) {
    case 0: return pRecord->strModelName;
    case 1: return pRecord->strAddress;
    case 2: return pRecord->strDescription;
    default: return std::string();
  }
}

int CListModel::RequestImage(void* pData, int /*nColumn*/) {
  const CListModelRecord* pRecord = recordOf(pData);
  if (!pRecord) {
    kProgramLog().kWriteLog("CListModel::RequestImage() return [%d] pParam is NULL.\n", 0);
    return 0;
  }
  return isPrinterPort(pRecord->strAddress) ? 0 : 1;
}

int CListModel::kCompareText(const std::string& strA, const std::string& strB) const {
  const DWORD dwLang = m_dwLangID ? m_dwLangID : SETUP_GLOBAL.m_dwLangID;
  const int nResult = CompareStringA(MAKELCID(static_cast<WORD>(dwLang), SORT_DEFAULT), SORT_STRINGSORT, strA.c_str(),
                                     -1, strB.c_str(), -1);
  if (nResult == CSTR_LESS_THAN) return -1;
  if (nResult == CSTR_GREATER_THAN) return 1;
  return 0;
}

std::string CListModel::kNormaliseAddress(const std::string& strAddress) {
  std::string strOut;
  strOut.reserve(strAddress.size());
  size_t nStart = 0;
  // Component by component: leading zeros go; a component of zeros alone
  // keeps one.
  while (true) {
    const size_t nDot = strAddress.find('.', nStart);
    const std::string strPart = strAddress.substr(nStart, nDot == std::string::npos ? std::string::npos : nDot - nStart);
    size_t nFirst = 0;
    while (nFirst < strPart.size() && strPart[nFirst] == '0') ++nFirst;
    if (nFirst == strPart.size() && !strPart.empty()) {
      strOut += '0';
    } else {
      strOut += strPart.substr(nFirst);
    }
    if (nDot == std::string::npos) break;
    strOut += '.';
    nStart = nDot + 1;
  }
  return strOut;
}

BOOL CListModel::kConvertAddress(const std::string& strAddress, uint32_t& dwAddress) {
  // inet_addr's forms: a, a.b, a.b.c, a.b.c.d; the last part fills the
  // remaining bytes. Decimal only: the normalised text has no leading zeros
  // left, so neither octal nor hexadecimal parts can occur.
  uint64_t parts[4] = {0, 0, 0, 0};
  int nParts = 0;
  size_t n = 0;
  if (strAddress.empty()) return FALSE;
  while (true) {
    if (nParts == 4 || n >= strAddress.size() || strAddress[n] < '0' || strAddress[n] > '9') return FALSE;
    uint64_t value = 0;
    while (n < strAddress.size() && strAddress[n] >= '0' && strAddress[n] <= '9') {
      value = value * 10 + static_cast<uint64_t>(strAddress[n] - '0');
      if (value > 0xFFFFFFFFull) return FALSE;
      ++n;
    }
    parts[nParts++] = value;
    if (n == strAddress.size()) break;
    if (strAddress[n] != '.') return FALSE;
    ++n;
  }
  uint64_t host = 0;
  switch (nParts) {
    case 1:
      host = parts[0];
      break;
    case 2:
      if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return FALSE;
      host = (parts[0] << 24) | parts[1];
      break;
    case 3:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return FALSE;
      host = (parts[0] << 24) | (parts[1] << 16) | parts[2];
      break;
    default:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFF || parts[3] > 0xFF) return FALSE;
      host = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
      break;
  }
  // inet_addr answers INADDR_NONE for failures, and so for 255.255.255.255.
  if (host == 0xFFFFFFFFull) return FALSE;
  dwAddress = static_cast<uint32_t>(host);  // kept as a number, highest octet first
  return TRUE;
}

CListModel::CAddressKey CListModel::kMakeAddressKey(const std::string& strAddress) {
  CAddressKey key;
  key.bPrinterPort = isPrinterPort(strAddress);
  key.bAddress = kConvertAddress(kNormaliseAddress(strAddress), key.dwAddress);
  return key;
}

int CListModel::kCompareAddress(const std::string& strA, const std::string& strB) const {
  uint32_t a = 0, b = 0;
  const BOOL bA = kConvertAddress(kNormaliseAddress(strA), a);
  const BOOL bB = kConvertAddress(kNormaliseAddress(strB), b);
  if (!bA && !bB) return kCompareText(strA, strB);
  if (!bB) return -1;
  if (!bA) return 1;
  // Octet by octet from the first: the number with the highest octet first
  // compares the same way.
  if (a < b) return -1;
  if (a > b) return 1;
  return 0;
}

int CListModel::kCompareAddressItems(const std::string& strA, const CAddressKey& keyA, const std::string& strB,
                                     const CAddressKey& keyB) const {
  // Two addresses: equal texts are equal numbers, and neither is the port
  // text, so their numbers decide without comparing the texts.
  if (keyA.bAddress && keyB.bAddress) {
    if (keyA.dwAddress == keyB.dwAddress) return 0;
    return keyA.dwAddress < keyB.dwAddress ? -1 : 1;
  }
  const int nText = kCompareText(strA, strB);
  if (nText == 0) return 0;
  if (keyA.bPrinterPort) return -1;
  if (keyB.bPrinterPort) return 1;
  if (!keyA.bAddress && !keyB.bAddress) return nText;
  return keyA.bAddress ? -1 : 1;
}

void CListModel::kBeginSort(int nColumn, const std::vector<void*>& lstData) {
  m_mapAddressKeys.clear();
  if (nColumn != 1) return;
  m_mapAddressKeys.reserve(lstData.size());
  for (void* pData : lstData) {
    if (const CListModelRecord* pRecord = recordOf(pData))
      m_mapAddressKeys.emplace(pRecord, kMakeAddressKey(pRecord->strAddress));
  }
}

void CListModel::kEndSort() { m_mapAddressKeys = {}; }

int CListModel::CompareItems(void* pA, void* pB, int nColumn, BOOL bAscending) {
  const CListModelRecord* a = recordOf(pA);
  const CListModelRecord* b = recordOf(pB);
  int nResult = 0;
  if (a && b) {
    switch (nColumn) {
      case 0:
        nResult = kCompareText(a->strModelName, b->strModelName);
        break;
      case 1: {
        // Inside kSort the keys were made once per record; a comparison
        // asked for on its own makes them now.
        const auto itA = m_mapAddressKeys.find(a);
        const auto itB = m_mapAddressKeys.find(b);
        const CAddressKey keyA = itA != m_mapAddressKeys.end() ? itA->second : kMakeAddressKey(a->strAddress);
        const CAddressKey keyB = itB != m_mapAddressKeys.end() ? itB->second : kMakeAddressKey(b->strAddress);
        nResult = kCompareAddressItems(a->strAddress, keyA, b->strAddress, keyB);
        break;
      }
      case 2:
        nResult = kCompareText(a->strDescription, b->strDescription);
        break;
      default:
        break;
    }
  }
  if (!bAscending) nResult = -nResult;
  // A sort compares thousands of times: with the log off, not even the
  // line's formatting is paid for.
  CDetailLog& log = kProgramLog();
  if (log.kIsEnabled()) log.kWriteLog("CListModel::CompareItems() return [%d]\n", nResult);
  return nResult;
}
