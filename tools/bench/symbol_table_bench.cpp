// Declaring and resolving N names in the 1000-bucket scope table, half of them in one
// bucket (their character sums agree modulo 1000), the rest spread out.  Prints the time
// per phase and per name; the per-name figures should stay flat as N grows.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "semantic/symbol_table.h"

namespace {

constexpr int kBuckets = 1000;
constexpr int kSharedBucket = 558;

int CharacterSum(const std::string& name) {
  int sum = 0;
  for (char c : name) sum += static_cast<signed char>(c);
  return sum;
}

// A distinct name for i; `shared` pads it with letters so that its sum lands in kSharedBucket.
std::string MakeName(int i, bool shared) {
  std::string name = "n";
  for (int v = i; v > 0; v /= 26) name += static_cast<char>('a' + v % 26);
  if (!shared) return name;
  name += '_';  // keeps padded names apart from unpadded ones
  int deficit = ((kSharedBucket - CharacterSum(name)) % kBuckets + kBuckets) % kBuckets + kBuckets;
  while (deficit > 244) {
    name += 'z';
    deficit -= 'z';
  }
  const int first = deficit / 2;  // two characters between '=' and 'z' close the gap
  name += static_cast<char>(first);
  name += static_cast<char>(deficit - first);
  return name;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Run(int count) {
  std::vector<std::string> names;
  names.reserve(count);
  for (int i = 0; i < count; ++i) names.push_back(MakeName(i, i % 2 == 0));

  CArena arena;
  CSymScope scope;
  scope.Create(kBuckets);
  auto start = std::chrono::steady_clock::now();
  for (const std::string& name : names) scope.Insert(arena.Make<CClassSymbol>(std::string_view(name)));
  const double declare = Seconds(start);

  start = std::chrono::steady_clock::now();
  long found = 0;
  for (const std::string& name : names) found += scope.Lookup(name) != nullptr ? 1 : 0;
  const double resolve = Seconds(start);

  // Half the names again in an inner scope, which is then left.
  start = std::chrono::steady_clock::now();
  scope.EnterLevel();
  for (int i = 0; i < count; i += 2) scope.Insert(arena.Make<CClassSymbol>(std::string_view(names[i])));
  scope.LeaveLevel();
  const double scoped = Seconds(start);

  const CSymbol* head = scope.buckets[kSharedBucket];
  int chain = 0;
  for (; head != nullptr; head = head->next) ++chain;
  if (found != count) std::fprintf(stderr, "lookup failed: %ld of %d found\n", found, count);
  std::printf("%7d names (%6d in bucket %d): declare %8.2f ms (%5.0f ns/name), resolve %8.2f ms (%5.0f ns/name), "
              "enter+leave a level of %d: %7.2f ms\n",
              count, chain, kSharedBucket, declare * 1e3, declare * 1e9 / count, resolve * 1e3,
              resolve * 1e9 / count, count / 2, scoped * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    Run(std::atoi(argv[1]));
    return 0;
  }
  for (int count : {1000, 10000, 200000}) Run(count);
  return 0;
}
