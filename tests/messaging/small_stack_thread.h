#ifndef TESTS_MESSAGING_SMALL_STACK_THREAD_H_
#define TESTS_MESSAGING_SMALL_STACK_THREAD_H_

#include <cstddef>
#include <functional>

namespace flutter {
namespace testing {

// Runs `task` on a new thread whose stack is `stack_size` bytes and waits for
// it. False when the thread could not be started. A stack overflow ends the
// test process, which is the failure such tests look for.
bool RunOnSmallStack(size_t stack_size, const std::function<void()>& task);

}  // namespace testing
}  // namespace flutter

#endif  // TESTS_MESSAGING_SMALL_STACK_THREAD_H_
