// Admission of many candidates in a row to a setup list.
#include "app/setup_candidate_admission.h"

#include <iterator>

#include "app/kv_setup_app.h"

bool CSetupCandidateAdmission::CLessName::operator()(const char* a, const char* b) const {
  return lstrcmpiA(a, b) < 0;
}

CSetupCandidateAdmission::CSetupCandidateAdmission(CCandidateDriverList& lstSetup) : m_lstSetup(lstSetup) {
  for (auto it = m_lstSetup.begin(); it != m_lstSetup.end(); ++it) {
    m_mapByName.emplace(it->strDriverName.c_str(), CEntry{it, kNoTag});
  }
}

int CSetupCandidateAdmission::kAdmit(const CCandidateDriver& candidate, size_t nTag, int* pnDecision,
                                     std::string* pstrReason, size_t* pnDisplacedTag) {
  if (pnDisplacedTag) *pnDisplacedTag = kNoTag;
  // The entry of the same name, if any, is lent to the rule in a list of its
  // own and put back where it stood unless the rule removed it.
  CCandidateDriverList lstSame;
  const char* pszName = candidate.strDriverName.c_str();
  // One search finds the entry of the same name or the place a new one goes.
  auto found = m_mapByName.lower_bound(pszName);
  const bool bFound = found != m_mapByName.end() && !m_mapByName.key_comp()(pszName, found->first);
  CCandidateDriverList::iterator itAfter = m_lstSetup.end();
  if (bFound) {
    itAfter = std::next(found->second.it);
    lstSame.splice(lstSame.end(), m_lstSetup, found->second.it);
  }
  const int nResult = CKV_SETUPApp::kCheckElementAddToList(lstSame, candidate, pnDecision, pstrReason);
  if (bFound) {
    if (!lstSame.empty()) {
      m_lstSetup.splice(itAfter, lstSame);
    } else {
      if (pnDisplacedTag) *pnDisplacedTag = found->second.nTag;
      found = m_mapByName.erase(found);
    }
  }
  if (nResult == 1) {
    m_lstSetup.push_back(candidate);
    m_mapByName.emplace_hint(found, m_lstSetup.back().strDriverName.c_str(),
                             CEntry{std::prev(m_lstSetup.end()), nTag});
  }
  return nResult;
}
