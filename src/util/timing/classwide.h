#pragma once

#include <functional>

// State that every object of a class shares for the whole process: step
// clocks, start ticks and modes. Objects come and go with the scenes, but
// these go on, as the show expects (a scene that meets an effect again
// finds it where it left off, or catches up). Each family keeps all of its
// share in one struct held by a Classwide; resetClasswideState() puts every
// one back to its first-frame value, for tests and tools that replay the
// show from the start.
template <typename State>
class Classwide {
 public:
  Classwide();
  Classwide(const Classwide&) = delete;
  Classwide& operator=(const Classwide&) = delete;

  State* operator->() { return &state_; }
  State& operator*() { return state_; }

 private:
  State state_{};
};

void registerClasswideReset(std::function<void()> reset);
void resetClasswideState();

template <typename State>
Classwide<State>::Classwide() {
  registerClasswideReset([this] { state_ = State{}; });
}
