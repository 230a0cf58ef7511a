// A text field that copies share: the candidate records of a package of many
// models carry the same INF-level and install-section texts, and each copy
// of a record (the setup list, the chosen USB candidate) shares them too.
#pragma once

#include <atomic>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>

// Reads like a const std::string; an assignment gives the field a new text
// and never changes the text another field or record shares, so a change to
// one record never shows in another. The empty text holds no memory.
class CSharedText {
 public:
  CSharedText() noexcept = default;
  // Explicit, so that a choice between a text field and a std::string
  // ("a ? cde.strX : str") is a std::string.
  explicit CSharedText(const std::string& str) : m_pRep(str.empty() ? nullptr : new CRep(str)) {}
  explicit CSharedText(std::string&& str) : m_pRep(str.empty() ? nullptr : new CRep(std::move(str))) {}
  explicit CSharedText(const char* psz) : CSharedText(std::string(psz ? psz : "")) {}
  CSharedText(const CSharedText& other) noexcept : m_pRep(other.m_pRep) { kAddRef(); }
  CSharedText(CSharedText&& other) noexcept : m_pRep(std::exchange(other.m_pRep, nullptr)) {}
  ~CSharedText() { kRelease(); }

  CSharedText& operator=(const CSharedText& other) noexcept {
    if (m_pRep != other.m_pRep) {
      CSharedText copy(other);
      std::swap(m_pRep, copy.m_pRep);
    }
    return *this;
  }
  CSharedText& operator=(CSharedText&& other) noexcept {
    std::swap(m_pRep, other.m_pRep);
    return *this;
  }
  CSharedText& operator=(const std::string& str) { return *this = CSharedText(str); }
  CSharedText& operator=(std::string&& str) { return *this = CSharedText(std::move(str)); }
  CSharedText& operator=(const char* psz) { return *this = CSharedText(psz); }
  CSharedText& operator+=(const std::string& str) { return *this = str_() + str; }

  const std::string& str() const noexcept { return str_(); }
  operator const std::string&() const noexcept { return str_(); }  // NOLINT: implicit
  const char* c_str() const noexcept { return str_().c_str(); }
  const char* data() const noexcept { return str_().data(); }
  size_t size() const noexcept { return str_().size(); }
  size_t length() const noexcept { return str_().size(); }
  bool empty() const noexcept { return m_pRep == nullptr; }
  void clear() noexcept { *this = CSharedText(); }
  char operator[](size_t i) const { return str_()[i]; }
  char back() const { return str_().back(); }
  char front() const { return str_().front(); }
  std::string::const_iterator begin() const noexcept { return str_().begin(); }
  std::string::const_iterator end() const noexcept { return str_().end(); }
  template <class... A>
  size_t find(A&&... args) const {
    return str_().find(std::forward<A>(args)...);
  }
  template <class... A>
  size_t rfind(A&&... args) const {
    return str_().rfind(std::forward<A>(args)...);
  }
  template <class... A>
  size_t find_first_of(A&&... args) const {
    return str_().find_first_of(std::forward<A>(args)...);
  }
  template <class... A>
  size_t find_last_of(A&&... args) const {
    return str_().find_last_of(std::forward<A>(args)...);
  }
  template <class... A>
  int compare(A&&... args) const {
    return str_().compare(std::forward<A>(args)...);
  }
  std::string substr(size_t pos = 0, size_t n = std::string::npos) const { return str_().substr(pos, n); }

  // Whether two fields share one text (for tests).
  bool kSharesWith(const CSharedText& other) const noexcept { return m_pRep == other.m_pRep; }

  friend bool operator==(const CSharedText& a, const CSharedText& b) { return a.str_() == b.str_(); }
  friend bool operator==(const CSharedText& a, const std::string& b) { return a.str_() == b; }
  friend bool operator==(const std::string& a, const CSharedText& b) { return a == b.str_(); }
  friend bool operator==(const CSharedText& a, const char* b) { return a.str_() == b; }
  friend bool operator==(const char* a, const CSharedText& b) { return a == b.str_(); }
  friend bool operator!=(const CSharedText& a, const CSharedText& b) { return !(a == b); }
  friend bool operator!=(const CSharedText& a, const std::string& b) { return !(a == b); }
  friend bool operator!=(const std::string& a, const CSharedText& b) { return !(a == b); }
  friend bool operator!=(const CSharedText& a, const char* b) { return !(a == b); }
  friend bool operator!=(const char* a, const CSharedText& b) { return !(a == b); }
  friend bool operator<(const CSharedText& a, const CSharedText& b) { return a.str_() < b.str_(); }
  friend std::string operator+(const CSharedText& a, const std::string& b) { return a.str_() + b; }
  friend std::string operator+(const std::string& a, const CSharedText& b) { return a + b.str_(); }
  friend std::string operator+(const CSharedText& a, const char* b) { return a.str_() + b; }
  friend std::string operator+(const char* a, const CSharedText& b) { return a + b.str_(); }
  friend std::string operator+(const CSharedText& a, char b) { return a.str_() + b; }
  friend std::string operator+(char a, const CSharedText& b) { return a + b.str_(); }
  friend std::string operator+(const CSharedText& a, const CSharedText& b) { return a.str_() + b.str_(); }
  friend std::ostream& operator<<(std::ostream& os, const CSharedText& t) { return os << t.str_(); }

 private:
  struct CRep {
    explicit CRep(std::string s) : strText(std::move(s)) {}
    // Copies of records travel between the wizard and the installation
    // thread, so the count is atomic.
    std::atomic<unsigned> nRefs{1};
    const std::string strText;
  };
  const std::string& str_() const noexcept { return m_pRep ? m_pRep->strText : emptyText(); }
  static const std::string& emptyText() noexcept {
    static const std::string kEmpty;
    return kEmpty;
  }
  void kAddRef() const noexcept {
    if (m_pRep) m_pRep->nRefs.fetch_add(1, std::memory_order_relaxed);
  }
  void kRelease() noexcept {
    if (m_pRep && m_pRep->nRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete m_pRep;
    m_pRep = nullptr;
  }

  CRep* m_pRep = nullptr;
};
