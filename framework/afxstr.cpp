#include "framework/afxstr.h"

#include "platform/code_page.h"
#include "platform/env.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

int CString::CharLength(size_t i) const { return int(CCodePage::Active().CharLength(s_.data(), i, s_.size())); }

int CString::Find(char ch, int start) const {
  for (size_t i = size_t(start < 0 ? 0 : start); i < s_.size(); i += size_t(CharLength(i))) {
    if (CharLength(i) == 1 && s_[i] == ch) return int(i);
  }
  return -1;
}

int CString::Find(const char* sub, int start) const {
  const size_t n = std::strlen(sub);
  for (size_t i = size_t(start < 0 ? 0 : start); i + n <= s_.size(); i += size_t(CharLength(i))) {
    if (s_.compare(i, n, sub) == 0) return int(i);
  }
  return -1;
}

int CString::ReverseFind(char ch) const {
  int found = -1;
  for (size_t i = 0; i < s_.size(); i += size_t(CharLength(i))) {
    if (CharLength(i) == 1 && s_[i] == ch) found = int(i);
  }
  return found;
}

int CString::FindOneOf(const char* charSet) const {
  for (size_t i = 0; i < s_.size(); i += size_t(CharLength(i))) {
    if (CharLength(i) == 1 && s_[i] != '\0' && std::strchr(charSet, s_[i])) return int(i);
  }
  return -1;
}

int CString::Remove(char ch) {
  std::string kept;
  kept.reserve(s_.size());
  int removed = 0;
  for (size_t i = 0; i < s_.size();) {
    const int len = CharLength(i);
    if (len == 1 && s_[i] == ch) {
      ++removed;
    } else {
      kept.append(s_, i, size_t(len));
    }
    i += size_t(len);
  }
  s_.swap(kept);
  return removed;
}

CString& CString::MakeUpper() {
  for (size_t i = 0; i < s_.size();) {
    const int len = CharLength(i);
    if (len == 1 && s_[i] >= 'a' && s_[i] <= 'z') s_[i] = char(s_[i] - 'a' + 'A');
    i += size_t(len);
  }
  return *this;
}

CString CString::Mid(int first) const { return Mid(first, GetLength() - first); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (count < 0 || first >= GetLength()) return CString();
  return CString(s_.substr(size_t(first), size_t(count)).c_str());
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
  if (count <= 0) return CString();
  if (count >= GetLength()) return *this;
  return Mid(GetLength() - count, count);
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int n = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (n < 0) {
    s_.clear();
    return;
  }
  std::vector<char> buffer(size_t(n) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  s_.assign(buffer.data(), size_t(n));
}

char* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) s_.resize(size_t(minLength));
  return s_.data();
}

void CString::ReleaseBuffer(int newLength) {
  s_.resize(newLength < 0 ? std::strlen(s_.c_str()) : size_t(newLength));
}

CStringW::CStringW(const CString& ansi) {
  if (!ansi.IsEmpty()) s_ = Env().ToWide(Env().AnsiCodePage(), std::string_view(ansi.GetString(), size_t(ansi.GetLength())));
}

CString CStringW::ToAnsi(bool* lossless) const {
  if (lossless) *lossless = true;
  if (s_.empty()) return CString();
  const std::string ansi = Env().FromWide(Env().AnsiCodePage(), s_, lossless);
  return CString(ansi.data(), int(ansi.size()));
}

wchar_t* CStringW::GetBuffer(int minLength) {
  if (minLength > GetLength()) s_.resize(size_t(minLength));
  return &s_[0];
}

void CStringW::ReleaseBuffer(int newLength) {
  s_.resize(newLength < 0 ? std::wcslen(s_.c_str()) : size_t(newLength));
}

POSITION CStringList::AddTail(const CString& text) {
  Node* n = new Node{nullptr, tail_, text};
  (tail_ ? tail_->next : head_) = n;
  tail_ = n;
  ++count_;
  return reinterpret_cast<POSITION>(n);
}

POSITION CStringList::AddHead(const CString& text) {
  Node* n = new Node{head_, nullptr, text};
  (head_ ? head_->prev : tail_) = n;
  head_ = n;
  ++count_;
  return reinterpret_cast<POSITION>(n);
}

void CStringList::RemoveAll() {
  while (head_) delete std::exchange(head_, head_->next);
  tail_ = nullptr;
  count_ = 0;
}

CString& CStringList::GetNext(POSITION& pos) {
  Node* n = AsNode(pos);
  pos = reinterpret_cast<POSITION>(n->next);
  return n->data;
}

const CString& CStringList::GetNext(POSITION& pos) const {
  Node* n = AsNode(pos);
  pos = reinterpret_cast<POSITION>(n->next);
  return n->data;
}

CString& CStringList::GetPrev(POSITION& pos) {
  Node* n = AsNode(pos);
  pos = reinterpret_cast<POSITION>(n->prev);
  return n->data;
}

CString& CStringList::GetAt(POSITION pos) { return AsNode(pos)->data; }
const CString& CStringList::GetAt(POSITION pos) const { return AsNode(pos)->data; }

POSITION CStringList::FindIndex(int index) const {
  if (index < 0 || index >= count_) return nullptr;
  Node* n = head_;
  while (index-- > 0) n = n->next;
  return reinterpret_cast<POSITION>(n);
}
