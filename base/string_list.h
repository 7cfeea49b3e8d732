// An ordered list of byte strings, each with an optional object: sorted or not, with a
// duplicates rule, case-insensitive lookups and name=value lines.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/object.h"

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TObject {
 public:
  // Orders two strings: negative, zero or positive.
  using TCompare = std::function<int(const std::string&, const std::string&)>;

  TStringList() = default;
  TStringList(const TStringList& other);
  TStringList& operator=(const TStringList& other);
  ~TStringList() override;

  int Count() const { return static_cast<int>(items_.size()); }
  // Raise EStringListError "List index out of bounds (%d)" for a bad index.
  const std::string& Get(int index) const;
  virtual void Put(int index, const std::string& text);
  TObject* Objects(int index) const;
  void PutObject(int index, TObject* object);

  // Sorted lists insert in order and apply the duplicates rule (the index of the entry
  // already present is returned for dupIgnore; dupError raises). Unsorted lists append.
  virtual int Add(const std::string& text);
  int AddObject(const std::string& text, TObject* object);
  void AddStrings(const TStringList& other);
  // Refused on a sorted list (EStringListError "Operation not allowed on sorted list").
  virtual void Insert(int index, const std::string& text);
  void InsertObject(int index, const std::string& text, TObject* object);
  virtual void Delete(int index);
  virtual void Clear();
  void Assign(const TStringList& other);

  // First index of an entry equal to `text` (by the list's comparison), or -1.
  int IndexOf(const std::string& text) const;
  int IndexOfObject(const TObject* object) const;
  // Binary search of a sorted list: the first index whose entry is not below `text`;
  // true when that entry equals it.
  bool Find(const std::string& text, int& index) const;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates = TDuplicates::dupIgnore;
  bool CaseSensitive() const { return case_sensitive_; }
  void SetCaseSensitive(bool caseSensitive);
  // Replaces the default comparison (ASCII letters without regard to case, or byte order
  // when case-sensitive), for example by a locale collation. Re-sorts a sorted list.
  void SetCompare(TCompare compare);
  // Destroys the objects of deleted entries and of the list itself.
  bool OwnsObjects = false;

  // The lines, each followed by CR LF; setting splits at CR LF, LF or CR.
  std::string Text() const;
  virtual void SetText(const std::string& text);

  // name=value lines.
  char NameValueSeparator = '=';
  std::string Names(int index) const;
  std::string ValueFromIndex(int index) const;
  int IndexOfName(const std::string& name) const;
  std::string Values(const std::string& name) const;
  void SetValue(const std::string& name, const std::string& value);

  // Appends entries that are already in the list's order and distinct under its comparison
  // (sorted by the caller, with keys of its own), without comparing them again.
  void AppendOrdered(std::vector<std::string> entries);

  const std::vector<std::string> Strings() const;
  int CompareStrings(const std::string& a, const std::string& b) const;
  void Sort();

 protected:
  void CheckIndex(int index) const;
  void InsertItem(int index, const std::string& text, TObject* object);

 private:
  struct Item {
    std::string text;
    TObject* object = nullptr;
  };
  void DestroyObject(TObject* object);
  std::vector<Item> items_;
  bool sorted_ = false;
  bool case_sensitive_ = false;
  TCompare compare_;
};
