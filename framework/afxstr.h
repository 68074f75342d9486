// The framework's text strings and string list.
//
// CString holds bytes in the system's ANSI code page. Its searches go by character:
// in a double-byte code page the second byte of a character is never taken for a match,
// so a Shift-JIS character whose trail byte is 0x5C is not a backslash.
#pragma once

#include <cstdarg>
#include <string>
#include <utility>

class CString {
 public:
  CString() = default;
  CString(const char* text) : s_(text ? text : "") {}  // NOLINT: implicit, as the framework's
  CString(const char* text, int length) : s_(text, size_t(length)) {}
  CString(char ch, int repeat = 1) : s_(size_t(repeat > 0 ? repeat : 0), ch) {}

  int GetLength() const { return int(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  char GetAt(int index) const { return s_.at(size_t(index)); }
  char operator[](int index) const { return GetAt(index); }
  void SetAt(int index, char ch) { s_.at(size_t(index)) = ch; }
  operator const char*() const { return s_.c_str(); }  // NOLINT: as the framework's
  const char* GetString() const { return s_.c_str(); }

  CString& operator=(const char* text) { s_ = text ? text : ""; return *this; }
  CString& operator+=(const CString& other) { s_ += other.s_; return *this; }
  CString& operator+=(const char* text) { s_ += text ? text : ""; return *this; }
  CString& operator+=(char ch) { s_ += ch; return *this; }
  friend CString operator+(const CString& a, const CString& b) { CString r(a); r += b; return r; }
  friend CString operator+(const CString& a, const char* b) { CString r(a); r += b; return r; }
  friend CString operator+(const char* a, const CString& b) { CString r(a); r += b; return r; }
  friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
  friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  int Compare(const char* other) const { return s_.compare(other ? other : ""); }

  // Position of the first character `ch` (or of `sub`) at or after `start`, or -1.
  int Find(char ch, int start = 0) const;
  int Find(const char* sub, int start = 0) const;
  // Position of the last character `ch`, or -1.
  int ReverseFind(char ch) const;
  // Position of the first character that is one of the bytes of `charSet`, or -1.
  int FindOneOf(const char* charSet) const;
  // Removes every character `ch`; returns how many were removed.
  int Remove(char ch);
  // Upper-cases the letters a to z, leaving double-byte characters alone.
  CString& MakeUpper();

  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;

  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

  // Direct access for the platform calls that fill a buffer.
  char* GetBuffer(int minLength);
  void ReleaseBuffer(int newLength = -1);

 private:
  // The length in bytes of the character that starts at `i`.
  int CharLength(size_t i) const;

  std::string s_;
};

// Wide text: UTF-16 on Windows (wchar_t is 32 bits on Linux). Paths and
// names that the ANSI code page may not hold (a typed folder in another script, a file
// named in UTF-8 in the archive) are kept and used in it, through the wide calls.
class CStringW {
 public:
  CStringW() = default;
  CStringW(const wchar_t* text) : s_(text ? text : L"") {}  // NOLINT: implicit, as the framework's
  CStringW(std::wstring text) : s_(std::move(text)) {}      // NOLINT
  // ANSI text read in the active code page, as the system converts it.
  explicit CStringW(const CString& ansi);

  int GetLength() const { return int(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  wchar_t GetAt(int index) const { return s_.at(size_t(index)); }
  operator const wchar_t*() const { return s_.c_str(); }  // NOLINT: as the framework's
  const wchar_t* GetString() const { return s_.c_str(); }
  const std::wstring& Str() const { return s_; }

  CStringW& operator+=(const CStringW& other) { s_ += other.s_; return *this; }
  CStringW& operator+=(const wchar_t* text) { s_ += text ? text : L""; return *this; }
  CStringW& operator+=(wchar_t ch) { s_ += ch; return *this; }
  friend CStringW operator+(const CStringW& a, const CStringW& b) { CStringW r(a); r += b; return r; }
  friend CStringW operator+(const CStringW& a, const wchar_t* b) { CStringW r(a); r += b; return r; }
  friend CStringW operator+(const wchar_t* a, const CStringW& b) { CStringW r(a); r += b; return r; }
  friend bool operator==(const CStringW& a, const CStringW& b) { return a.s_ == b.s_; }
  friend bool operator!=(const CStringW& a, const CStringW& b) { return !(a == b); }

  CStringW Mid(int first) const { return first >= GetLength() ? CStringW() : CStringW(s_.substr(size_t(first))); }
  // Position of the last character `ch`, or -1.
  int ReverseFind(wchar_t ch) const { return int(s_.rfind(ch)); }

  // The text as the ANSI code page shows it: '?' for a character the code page lacks,
  // which sets *lossless to false.
  CString ToAnsi(bool* lossless = nullptr) const;

  // Direct access for the platform calls that fill a buffer.
  wchar_t* GetBuffer(int minLength);
  void ReleaseBuffer(int newLength = -1);

 private:
  std::wstring s_;
};

// Width and height, in whatever unit a drawing context measures.
struct CSize {
  CSize() = default;
  CSize(int width, int height) : cx(width), cy(height) {}
  friend bool operator==(const CSize& a, const CSize& b) { return a.cx == b.cx && a.cy == b.cy; }
  int cx = 0, cy = 0;
};

struct __POSITION {};
typedef __POSITION* POSITION;

// An ordered list of strings walked with POSITION values, as the framework's.
class CStringList {
 public:
  CStringList() = default;
  CStringList(const CStringList&) = delete;
  CStringList& operator=(const CStringList&) = delete;
  ~CStringList() { RemoveAll(); }

  int GetCount() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  POSITION AddTail(const CString& text);
  POSITION AddHead(const CString& text);
  void RemoveAll();

  POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(head_); }
  POSITION GetTailPosition() const { return reinterpret_cast<POSITION>(tail_); }
  // The element at `pos`; `pos` moves on to the next (or previous) one, null at the end.
  CString& GetNext(POSITION& pos);
  const CString& GetNext(POSITION& pos) const;
  CString& GetPrev(POSITION& pos);
  CString& GetAt(POSITION pos);
  const CString& GetAt(POSITION pos) const;
  CString& GetHead() { return head_->data; }
  CString& GetTail() { return tail_->data; }
  POSITION FindIndex(int index) const;

 private:
  struct Node {
    Node* next;
    Node* prev;
    CString data;
  };
  static Node* AsNode(POSITION pos) { return reinterpret_cast<Node*>(pos); }

  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  int count_ = 0;
};
