#include "small_stack_thread.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace flutter {
namespace testing {

namespace {

#ifdef _WIN32
DWORD WINAPI RunTask(void* task) {
  (*static_cast<const std::function<void()>*>(task))();
  return 0;
}
#else
void* RunTask(void* task) {
  (*static_cast<const std::function<void()>*>(task))();
  return nullptr;
}
#endif

}  // namespace

bool RunOnSmallStack(size_t stack_size, const std::function<void()>& task) {
  void* argument = const_cast<std::function<void()>*>(&task);
#ifdef _WIN32
  HANDLE thread = CreateThread(nullptr, stack_size, RunTask, argument,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) {
    return false;
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return true;
#else
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    return false;
  }
  bool started = pthread_attr_setstacksize(&attributes, stack_size) == 0;
  pthread_t thread;
  started = started && pthread_create(&thread, &attributes, RunTask, argument) == 0;
  pthread_attr_destroy(&attributes);
  if (started) {
    pthread_join(thread, nullptr);
  }
  return started;
#endif
}

}  // namespace testing
}  // namespace flutter
