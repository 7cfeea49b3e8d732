#include "base/string_list.h"

#include <algorithm>

#include "base/exception.h"
#include "base/text.h"

TStringList::TStringList(const TStringList& other) {
  Assign(other);
}

TStringList& TStringList::operator=(const TStringList& other) {
  if (this != &other) Assign(other);
  return *this;
}

TStringList::~TStringList() {
  if (OwnsObjects)
    for (Item& item : items_)
      delete item.object;
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
}

const std::string& TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, const std::string& text) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index);
  items_[static_cast<size_t>(index)].text = text;
}

TObject* TStringList::Objects(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].object = object;
}

int TStringList::Add(const std::string& text) {
  return AddObject(text, nullptr);
}

int TStringList::AddObject(const std::string& text, TObject* object) {
  int index = Count();
  if (sorted_) {
    if (Find(text, index)) {
      switch (Duplicates) {
        case TDuplicates::dupIgnore:
          if (OwnsObjects && object != items_[static_cast<size_t>(index)].object)
            DestroyObject(object);
          return index;
        case TDuplicates::dupError:
          throw EStringListError("String list does not allow duplicates");
        case TDuplicates::dupAccept:
          break;
      }
    }
  }
  InsertItem(index, text, object);
  return index;
}

void TStringList::AppendOrdered(std::vector<std::string> entries) {
  items_.reserve(items_.size() + entries.size());
  for (std::string& entry : entries)
    items_.push_back(Item{std::move(entry), nullptr});
}

void TStringList::AddStrings(const TStringList& other) {
  for (const Item& item : other.items_)
    AddObject(item.text, item.object);
}

void TStringList::Insert(int index, const std::string& text) {
  InsertObject(index, text, nullptr);
}

void TStringList::InsertObject(int index, const std::string& text, TObject* object) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index > Count())
    throw EStringListError(Format("List index out of bounds (%d)", index));
  InsertItem(index, text, object);
}

void TStringList::InsertItem(int index, const std::string& text, TObject* object) {
  items_.insert(items_.begin() + index, Item{text, object});
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  TObject* object = items_[static_cast<size_t>(index)].object;
  items_.erase(items_.begin() + index);
  DestroyObject(object);
}

void TStringList::Clear() {
  std::vector<Item> old;
  old.swap(items_);
  for (Item& item : old)
    DestroyObject(item.object);
}

void TStringList::DestroyObject(TObject* object) {
  if (OwnsObjects) delete object;
}

void TStringList::Assign(const TStringList& other) {
  if (this == &other) return;
  Clear();
  sorted_ = other.sorted_;
  case_sensitive_ = other.case_sensitive_;
  compare_ = other.compare_;
  Duplicates = other.Duplicates;
  NameValueSeparator = other.NameValueSeparator;
  // The objects stay owned by the source list.
  OwnsObjects = false;
  items_.reserve(other.items_.size());
  for (const Item& item : other.items_)
    items_.push_back(item);
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
  if (compare_) return compare_(a, b);
  if (case_sensitive_) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  return CompareText(a, b);
}

int TStringList::IndexOf(const std::string& text) const {
  if (sorted_) {
    int index;
    return Find(text, index) ? index : -1;
  }
  for (size_t i = 0; i < items_.size(); ++i)
    if (CompareStrings(items_[i].text, text) == 0) return static_cast<int>(i);
  return -1;
}

int TStringList::IndexOfObject(const TObject* object) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].object == object) return static_cast<int>(i);
  return -1;
}

bool TStringList::Find(const std::string& text, int& index) const {
  int low = 0, high = Count() - 1;
  bool found = false;
  while (low <= high) {
    const int mid = (low + high) / 2;
    const int c = CompareStrings(items_[static_cast<size_t>(mid)].text, text);
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != TDuplicates::dupAccept) low = mid;
      }
    }
  }
  index = low;
  return found;
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [this](const Item& a, const Item& b) {
    return CompareStrings(a.text, b.text) < 0;
  });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  case_sensitive_ = caseSensitive;
  if (sorted_) Sort();
}

void TStringList::SetCompare(TCompare compare) {
  compare_ = std::move(compare);
  if (sorted_) Sort();
}

std::string TStringList::Text() const {
  size_t total = 0;
  for (const Item& item : items_)
    total += item.text.size() + 2;
  std::string result;
  result.reserve(total);
  for (const Item& item : items_) {
    result += item.text;
    result += "\r\n";
  }
  return result;
}

void TStringList::SetText(const std::string& text) {
  Clear();
  size_t start = 0;
  const size_t n = text.size();
  while (start < n) {
    size_t end = start;
    while (end < n && text[end] != '\r' && text[end] != '\n')
      ++end;
    Add(text.substr(start, end - start));
    if (end < n && text[end] == '\r') ++end;
    if (end < n && text[end] == '\n') ++end;
    start = end;
  }
}

std::string TStringList::Names(int index) const {
  const std::string& s = Get(index);
  const size_t p = s.find(NameValueSeparator);
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStringList::ValueFromIndex(int index) const {
  const std::string& s = Get(index);
  const size_t p = s.find(NameValueSeparator);
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

int TStringList::IndexOfName(const std::string& name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    const std::string& s = items_[i].text;
    const size_t p = s.find(NameValueSeparator);
    if (p != std::string::npos && CompareStrings(s.substr(0, p), name) == 0)
      return static_cast<int>(i);
  }
  return -1;
}

std::string TStringList::Values(const std::string& name) const {
  const int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValue(const std::string& name, const std::string& value) {
  const int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  const std::string line = name + NameValueSeparator + value;
  if (i < 0) {
    Add(line);
  } else if (sorted_) {
    Delete(i);
    Add(line);
  } else {
    Put(i, line);
  }
}

const std::vector<std::string> TStringList::Strings() const {
  std::vector<std::string> result;
  result.reserve(items_.size());
  for (const Item& item : items_)
    result.push_back(item.text);
  return result;
}
