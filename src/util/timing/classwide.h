#pragma once

#include <memory>
#include <utility>
#include <vector>

// State that every object of a class shares within one show: step clocks,
// start ticks and modes. Objects come and go with the scenes, but these go
// on (a scene that meets an effect again finds it where it left off, or
// catches up). Each family keeps all of its share in one struct, made here
// at its first-frame value on first use; a new show starts with none.
class ClasswideStates {
 public:
  ClasswideStates() = default;
  ClasswideStates(const ClasswideStates&) = delete;
  ClasswideStates& operator=(const ClasswideStates&) = delete;

  template <typename State>
  State& of() {
    const void* key = &Key<State>::id;
    for (const Entry& entry : entries_)
      if (entry.first == key) return *static_cast<State*>(entry.second.get());
    entries_.emplace_back(key, std::make_shared<State>());
    return *static_cast<State*>(entries_.back().second.get());
  }

 private:
  // One distinct address per family; a handful of families, so a short
  // list beats a hash.
  template <typename State>
  struct Key {
    static constexpr char id = 0;
  };
  using Entry = std::pair<const void*, std::shared_ptr<void>>;
  std::vector<Entry> entries_;
};
