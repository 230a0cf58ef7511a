// The list of the network printer list page: records of four strings
// (model name, address, description, spare), sorted by name, by address
// (numerically for IPv4 addresses) or by description.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "wizard/adv_list_ctrl.h"

struct CListModelRecord {
  std::string strModelName;
  std::string strAddress;
  std::string strDescription;
  std::string strSpare;
};

class CListModel : public CAdvListCtrl {
 public:
  // The address shown for a printer reached through a local port
  // ("ﾌﾟﾘﾝﾀﾎﾟｰﾄ" in code page 932); it sorts before every address.
  static const char* const kPrinterPortText;

  ~CListModel() override;

  UINT GetColumnFormat(int nColumn) override;
  void DeleteItemData(void* pData) override;
  int CompareItems(void* pA, void* pB, int nColumn, BOOL bAscending) override;
  std::string GetItemText(void* pData, int nColumn) override;
  int RequestImage(void* pData, int nColumn) override;

  // The language of the string comparisons (SETUP_GLOBAL's m_dwLangID
  // unless set).
  void kSetLangID(DWORD dwLangID) { m_dwLangID = dwLangID; }

  // The text with every "0" at its start or right after a "." deleted,
  // until none is left there (010.001.002.003 becomes 10.1.2.3). A component
  // of zeros alone keeps one "0", so that 10.0.0.5 stays an address.
  static std::string kNormaliseAddress(const std::string& strAddress);
  // The address in network order the way inet_addr reads it (one to four
  // decimal parts); FALSE when it is none.
  static BOOL kConvertAddress(const std::string& strAddress, uint32_t& dwAddress);
  // -1, 0 or 1: two addresses in IPv4 order, addresses before other texts,
  // other texts compared as text.
  int kCompareAddress(const std::string& strA, const std::string& strB) const;

 protected:
  void kBeginSort(int nColumn, const std::vector<void*>& lstData) override;
  void kEndSort() override;

 private:
  // What the address order needs of an address, worked out once.
  struct CAddressKey {
    bool bPrinterPort = false;  // the local-port text
    BOOL bAddress = FALSE;      // an IPv4 address, dwAddress its number
    uint32_t dwAddress = 0;
  };
  static CAddressKey kMakeAddressKey(const std::string& strAddress);
  int kCompareAddressItems(const std::string& strA, const CAddressKey& keyA, const std::string& strB,
                           const CAddressKey& keyB) const;
  int kCompareText(const std::string& strA, const std::string& strB) const;
  DWORD m_dwLangID = 0;
  // While kSort sorts by address: each record's key.
  std::unordered_map<const void*, CAddressKey> m_mapAddressKeys;
};
