// The conditional step: every stage check of the converter is written with it.
#ifndef FRAMEPACK_STEP_KIT_STEP_KIT_H_
#define FRAMEPACK_STEP_KIT_STEP_KIT_H_

#include <memory>
#include <utility>

namespace esi {

struct bool_functor_base {
  virtual ~bool_functor_base() {}
  virtual bool operator()() = 0;
};

template <typename L>
struct bool_functor : bool_functor_base {
  explicit bool_functor(L lambda) : lambda_(std::move(lambda)) {}
  ~bool_functor() override {}
  bool operator()() override { return lambda_(); }
  L lambda_;
};

struct next_step_functor_base {
  virtual ~next_step_functor_base() {}
  virtual int operator()() = 0;
};

template <typename L>
struct next_step_functor : next_step_functor_base {
  explicit next_step_functor(L lambda) : lambda_(std::move(lambda)) {}
  ~next_step_functor() override {}
  int operator()() override { return lambda_(); }
  L lambda_;
};

// Runs then_step if condition holds, else else_step. All three functors are allocated first, in
// that order, and deleted in reverse order, also when an allocation, the condition or a step
// throws.
template <typename Condition, typename Then, typename Else>
void conditional_step(Condition condition, Then then_step, Else else_step) {
  std::unique_ptr<bool_functor_base> test(new bool_functor<Condition>(std::move(condition)));
  std::unique_ptr<next_step_functor_base> on_true(
      new next_step_functor<Then>(std::move(then_step)));
  std::unique_ptr<next_step_functor_base> on_false(
      new next_step_functor<Else>(std::move(else_step)));
  if ((*test)()) {
    (*on_true)();
  } else {
    (*on_false)();
  }
}

}  // namespace esi

#endif  // FRAMEPACK_STEP_KIT_STEP_KIT_H_
