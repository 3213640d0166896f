// Watches every allocation the kit makes, through replaced global allocation functions.
#include "step_kit/step_kit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// While watching, each allocation is logged as "new N" and each deletion as "delete N", N being
// the block's size; the allocation numbered fail_at (from 1) throws instead.
bool g_watching = false;
int g_allocations = 0;
int g_fail_at = 0;
std::vector<std::string>* g_log = nullptr;
constexpr int kMaxBlocks = 64;
void* g_blocks[kMaxBlocks];
size_t g_sizes[kMaxBlocks];

void Watch(std::vector<std::string>* log, int fail_at) {
  g_log = log;
  g_allocations = 0;
  g_fail_at = fail_at;
  g_watching = true;
}

void StopWatching() { g_watching = false; }

}  // namespace

void* operator new(size_t size) {
  if (g_watching) {
    if (++g_allocations == g_fail_at) throw std::bad_alloc();
    g_watching = false;
    g_log->push_back("new " + std::to_string(size));
    g_watching = true;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  if (g_watching) {
    for (int i = 0; i < kMaxBlocks; ++i) {
      if (g_blocks[i] == nullptr) {
        g_blocks[i] = block;
        g_sizes[i] = size;
        break;
      }
    }
  }
  return block;
}

void operator delete(void* block) noexcept {
  for (int i = 0; i < kMaxBlocks && block != nullptr; ++i) {
    if (g_blocks[i] == block) {
      g_blocks[i] = nullptr;
      if (g_watching) {
        g_watching = false;
        g_log->push_back("delete " + std::to_string(g_sizes[i]));
        g_watching = true;
      }
      break;
    }
  }
  std::free(block);
}

void operator delete(void* block, size_t) noexcept { operator delete(block); }

namespace {

// The size of a functor whose lambda holds the given number of references.
std::string Functor(int references) { return std::to_string(sizeof(void*) * (1 + references)); }

std::string New(int references) { return "new " + Functor(references); }
std::string Delete(int references) { return "delete " + Functor(references); }

struct Outcome {
  std::vector<std::string> log;
  std::string ran;
  bool threw = false;
};

// Runs one conditional step whose condition yields answer, failing allocation fail_at (0 for
// none), with the part named throwing ("condition", "then", "else" or ""). The condition holds two
// references, the then-step three and the else-step four, so the log tells the functors apart.
// The parts throw an int, since a standard exception would allocate its message.
Outcome RunStep(bool answer, int fail_at, const std::string& thrower) {
  Outcome outcome;
  int unused = 0;
  Watch(&outcome.log, fail_at);
  try {
    esi::conditional_step(
        [&answer, &thrower] {
          if (thrower == "condition") throw 42;
          return answer;
        },
        [&outcome, &thrower, &unused] {
          outcome.ran += "then";
          if (thrower == "then") throw 42;
          return unused;
        },
        [&outcome, &thrower, &unused, &answer] {
          outcome.ran += "else";
          if (thrower == "else") throw 42;
          return unused + static_cast<int>(answer);
        });
  } catch (int) {
    outcome.threw = true;
  } catch (const std::bad_alloc&) {
    outcome.threw = true;
  }
  StopWatching();
  return outcome;
}

const std::vector<std::string> kWholeLife = {New(2),    New(3),    New(4),
                                             Delete(4), Delete(3), Delete(2)};

}  // namespace

TEST(ConditionalStep, RunsOneStepAndDeletesInReverseOrder) {
  for (bool answer : {true, false}) {
    const Outcome outcome = RunStep(answer, 0, "");
    EXPECT_EQ(outcome.ran, answer ? "then" : "else");
    EXPECT_FALSE(outcome.threw);
    EXPECT_EQ(outcome.log, kWholeLife);
  }
}

TEST(ConditionalStep, EvaluatesTheConditionOnceAfterAllAllocations) {
  std::vector<std::string> log;
  int calls = 0;
  size_t logged_before_condition = 0;
  Watch(&log, 0);
  esi::conditional_step(
      [&calls, &logged_before_condition, &log] {
        ++calls;
        logged_before_condition = log.size();
        return false;
      },
      [] { return 0; }, [] { return 0; });
  StopWatching();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(logged_before_condition, 3u);
}

TEST(ConditionalStep, FailedAllocationDeletesWhatWasAllocated) {
  struct Case {
    int fail_at;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {1, {}},
      {2, {New(2), Delete(2)}},
      {3, {New(2), New(3), Delete(3), Delete(2)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fail_at);
    const Outcome outcome = RunStep(true, c.fail_at, "");
    EXPECT_TRUE(outcome.threw);
    EXPECT_EQ(outcome.ran, "");
    EXPECT_EQ(outcome.log, c.log);
  }
}

TEST(ConditionalStep, ThrowingConditionOrStepDeletesAllThree) {
  for (const std::string thrower : {"condition", "then", "else"}) {
    SCOPED_TRACE(thrower);
    const Outcome outcome = RunStep(thrower == "then", 0, thrower);
    EXPECT_TRUE(outcome.threw);
    EXPECT_EQ(outcome.ran, thrower == "condition" ? "" : thrower);
    EXPECT_EQ(outcome.log, kWholeLife);
  }
}

TEST(ConditionalStep, NestedStepsUnwindCompletely) {
  std::vector<std::string> log;
  bool threw = false;
  int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
  Watch(&log, 0);
  try {
    esi::conditional_step([&a] { return a != 0; }, [&a, &b] { return a + b; },
                          [&a, &b, &c, &d, &e, &f] {
                            esi::conditional_step(
                                [&a, &b, &c, &d] { return a + b + c + d == 0; },
                                [&a, &b, &c, &d, &e]() -> int {
                                  if (a + b + c + d + e == 0) throw 42;
                                  return 0;
                                },
                                [&a, &b, &c, &d, &e, &f] { return a + b + c + d + e + f; });
                            return 0;
                          });
  } catch (int) {
    threw = true;
  }
  StopWatching();
  EXPECT_TRUE(threw);
  // The inner step's functors go first, then the outer step's, each in reverse order.
  EXPECT_EQ(log,
            std::vector<std::string>({New(1), New(2), New(6), New(4), New(5), New(6), Delete(6),
                                      Delete(5), Delete(4), Delete(6), Delete(2), Delete(1)}));
}
