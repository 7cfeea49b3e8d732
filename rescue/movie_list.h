// The list a grab shows: its movies sorted by a collation, each once; of entries that compare
// equal the first one found stays, with its own spelling.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <numeric>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/distinct_strings.h"
#include "base/key_order.h"
#include "base/string_block.h"
#include "base/string_list.h"

// Sorts `items` by `before`, a strict order that tells every two items apart; a long list in two
// halves at once, on this thread and another, then merged: the list is what a grab waits for
// once its page has arrived, when both processors are free.
template <typename TItem, typename TBefore>
void SortOnTwoThreads(std::vector<TItem>& items, TBefore before) {
  constexpr size_t kAlone = 8192;  // shorter lists are not worth a thread
  if (items.size() < kAlone) {
    std::sort(items.begin(), items.end(), before);
    return;
  }
  const auto middle = items.begin() + static_cast<std::ptrdiff_t>(items.size() / 2);
  std::thread first([&items, middle, &before] { std::sort(items.begin(), middle, before); });
  std::sort(middle, items.end(), before);
  first.join();
  std::inplace_merge(items.begin(), middle, items.end(), before);
}

// The order of `count` entries by their keys, equal ones in the order found.
template <typename TKeys>
std::vector<size_t> KeyedOrder(const TKeys& keys, size_t count) {
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  SortOnTwoThreads(order, [&keys](size_t a, size_t b) {
    const int c = keys[a].compare(keys[b]);
    return c != 0 ? c < 0 : a < b;
  });
  return order;
}

// Byte keys, as the command line's, are told apart where they first differ.
inline std::vector<size_t> KeyedOrder(const TStringBlock& keys, size_t) {
  return KeyOrder(keys);
}

// Empties `list`, makes it sorted by `compare` with duplicates ignored, and fills it with the
// entries of `distinct` that `order` names, in that order: the order of their keys, of entries
// with equal keys only the first (as the page reader's stream can give it).
inline void FillOrderedMovieList(std::vector<std::string> distinct,
                                 const std::vector<size_t>& order,
                                 const TStringList::TCompare& compare, TStringList& list) {
  list.Clear();
  list.SetCompare(compare);
  list.SetSorted(true);
  list.Duplicates = TDuplicates::dupIgnore;
  std::vector<std::string> entries;
  entries.reserve(order.size());
  for (const size_t i : order)
    entries.push_back(std::move(distinct[i]));
  list.AppendOrdered(std::move(entries));
}

// As FillOrderedMovieList, for the entries of `distinct` (in the order found, none twice), whose
// sort keys `keys` holds in the same order: keys order as `compare` orders the entries, through
// their compare() (the command line's byte keys, QCollatorSortKey), so the whole costs one sort.
template <typename TKeys>
void FillKeyedMovieList(std::vector<std::string> distinct, const TKeys& keys,
                        const TStringList::TCompare& compare, TStringList& list) {
  // Of equal entries the first one found comes first and is the one kept.
  const std::vector<size_t> order = KeyedOrder(keys, distinct.size());
  std::vector<size_t> kept;
  kept.reserve(order.size());
  for (size_t i = 0; i < order.size(); ++i)
    if (i == 0 || keys[order[i - 1]].compare(keys[order[i]]) != 0) kept.push_back(order[i]);
  FillOrderedMovieList(std::move(distinct), kept, compare, list);
}

// FillKeyedMovieList for the entries of `found`, which may hold one twice. Each entry's sort key
// is worked out once, by `keyOf`.
template <typename TKey>
void FillMovieList(std::vector<std::string> found,
                   const std::function<TKey(const std::string&)>& keyOf,
                   const TStringList::TCompare& compare, TStringList& list) {
  TDistinctStrings told;
  for (std::string& entry : found)
    told.Add(std::move(entry));
  std::vector<std::string> distinct = told.Take();
  std::vector<TKey> keys;
  keys.reserve(distinct.size());
  for (const std::string& entry : distinct)
    keys.push_back(keyOf(entry));
  FillKeyedMovieList(std::move(distinct), keys, compare, list);
}
