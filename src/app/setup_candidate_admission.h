// Admission of many candidates in a row to a setup list, by the program's
// own rule (CKV_SETUPApp::kCheckElementAddToList).
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "driverinfo/candidate_driver.h"

// The rule decides by the first entry of the list with the candidate's
// driver name, compared as lstrcmpiA compares. Walking the list for it makes
// the admission of a package of many models quadratic (100,000 models: ten
// thousand million comparisons); this keeps the list's entries in an index
// ordered as lstrcmpiA orders names and hands the rule that one entry alone,
// so it decides exactly as it would on the whole list.
//
// The list must not change but through kAdmit while the object lives, and
// must not hold two entries of one name (the rule never lets it).
class CSetupCandidateAdmission {
 public:
  static constexpr size_t kNoTag = static_cast<size_t>(-1);

  explicit CSetupCandidateAdmission(CCandidateDriverList& lstSetup);
  CSetupCandidateAdmission(const CSetupCandidateAdmission&) = delete;
  CSetupCandidateAdmission& operator=(const CSetupCandidateAdmission&) = delete;

  // The rule's result (1: admitted) with its decision and reason. An
  // admitted candidate is appended to the list as a copy, tagged nTag; the
  // entry of the same name that it replaces leaves the list, and its tag goes
  // to *pnDisplacedTag (kNoTag when none was replaced).
  int kAdmit(const CCandidateDriver& candidate, size_t nTag = kNoTag, int* pnDecision = nullptr,
             std::string* pstrReason = nullptr, size_t* pnDisplacedTag = nullptr);

 private:
  struct CLessName {
    bool operator()(const char* a, const char* b) const;
  };
  struct CEntry {
    CCandidateDriverList::iterator it;
    size_t nTag;
  };
  CCandidateDriverList& m_lstSetup;
  // By the entry's own driver name, which stays put while the entry is listed.
  std::map<const char*, CEntry, CLessName> m_mapByName;
};
