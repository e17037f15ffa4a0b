// What the engine must make of any file offered as a book, whatever its
// bytes: a refusal with a status that leaves the file as it was and that a
// second Open repeats, or a sound book that walks consistently in every key
// and takes a session of changes. Shared by the mutation test and the fuzz
// target, so it reports instead of asserting.
#pragma once

#include <string>

#include "book_test_support.h"

namespace varnok::rmtest {

struct BookVerdict {
  int16_t status = 0;  // of the first Open
  std::string fault;   // empty when the engine kept every promise
};

namespace verdict_detail {

// Stat's count against a walk of every key, each in its order. Empty when
// they agree.
inline std::string walkFault(Book& book) {
  const int64_t count = book.count();
  if (count < 0) return "Stat failed on an open book";
  for (int key = 0; key < rm::kKeyCount; ++key) {
    const std::vector<Record> records = book.walk(key);
    if (int64_t(records.size()) != count)
      return "key " + std::to_string(key) + " walks " + std::to_string(records.size()) +
             " entries, Stat counts " + std::to_string(count);
    for (std::size_t i = 1; i < records.size(); ++i) {
      const std::string before = keyOf(records[i - 1], key), here = keyOf(records[i], key);
      if (here < before || (key == 0 && here == before))
        return "key " + std::to_string(key) + " out of order at entry " + std::to_string(i);
    }
  }
  return {};
}

// A session as a pass makes one: the first entry rewritten, the next one
// deleted, a new one added, and Close.
inline std::string changeAndClose(Book& book, const std::string& path, int64_t count) {
  if (int16_t s = book.open(path)) return "an accepted book is refused next time: " + std::to_string(s);
  if (count > 0) {
    if (book.getGreaterOrEqual(0) != 0) return "Get Greater or Equal fails on a book with entries";
    Record changed = book.data;
    changed[300] ^= 0x5A;
    if (int16_t s = book.update(changed)) return "Update refused: " + std::to_string(s);
    if (book.getNext(0) == 0 && book.remove() != 0) return "Delete refused";
  }
  const Record added = entry("\xFF\xFF" "ADDED-ENTRY", "20250701", "ADDED", "ADDED", 4242);
  if (int16_t s = book.insert(added)) return "Insert refused: " + std::to_string(s);
  if (int16_t s = book.close()) return "Close of an accepted book fails: " + std::to_string(s);
  return {};
}

// After the session the book must open again holding exactly its result.
inline std::string sessionFault(const std::string& path, int64_t count) {
  Book book;
  std::string fault = changeAndClose(book, path, count);
  book.discard();  // releases a book a failed step left open; nothing after a Close
  if (!fault.empty()) return fault;
  Book again;
  if (int16_t s = again.open(path)) return "a book just closed is refused: " + std::to_string(s);
  const int64_t expected = count > 1 ? count : count + 1;
  fault = again.count() == expected ? walkFault(again) : "the closed session did not last";
  again.discard();
  return fault;
}

}  // namespace verdict_detail

// Opens the file at path as a book and judges what happened. May change an
// accepted book (it makes a session of changes on it).
inline BookVerdict judgeBookFile(const std::string& path) {
  using namespace verdict_detail;
  const std::string bytes = fileBytes(path);
  BookVerdict verdict;
  Book first;
  verdict.status = first.open(path);
  if (verdict.status != 0) {
    if (fileBytes(path) != bytes) verdict.fault = "a refused book was changed";
    Book second;
    const int16_t again = second.open(path);
    if (again == 0) second.discard();
    if (verdict.fault.empty() && again != verdict.status)
      verdict.fault = "a second Open answers " + std::to_string(again) + ", the first " +
                      std::to_string(verdict.status);
    return verdict;
  }
  verdict.fault = walkFault(first);
  const int64_t count = first.count();
  if (first.discard() != 0 && verdict.fault.empty()) verdict.fault = "Discard failed";
  if (verdict.fault.empty() && fileBytes(path) != bytes)
    verdict.fault = "reading a book changed it";
  if (verdict.fault.empty()) verdict.fault = sessionFault(path, count);
  return verdict;
}

}  // namespace varnok::rmtest
