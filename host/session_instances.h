// The hosts of one user session, over Win32: the session object (a named
// mutex) that every host holds while it runs, and, while a host serves as
// the single instance, its message-only window, which a later launch finds
// and hands its arguments to with WM_COPYDATA. Both go with the process: a
// host that crashed or was killed leaves nothing behind that a later launch
// could mistake for a running one.
#ifndef VELORA_HOST_SESSION_INSTANCES_H_
#define VELORA_HOST_SESSION_INSTANCES_H_

#include <windows.h>

#include <functional>
#include <string>

#include "host/single_instance.h"

namespace velora {

class SessionInstances : public InstanceRegistry {
 public:
  using LaunchHandler = std::function<void(const SecondLaunch& launch)>;

  // Opens (or creates) the session object.
  SessionInstances();
  // Stops serving and closes the session object.
  ~SessionInstances() override;
  SessionInstances(const SessionInstances&) = delete;
  SessionInstances& operator=(const SessionInstances&) = delete;

  // Runs on the thread that started serving, once per launch handed over;
  // an empty handler refuses them.
  void SetLaunchHandler(LaunchHandler handler) { on_launch_ = std::move(handler); }

  bool Lock() override;
  void Unlock() override;
  HostId FindServingHost() override;
  bool Deliver(HostId host, const SecondLaunch& launch) override;
  void StartServing() override;
  void StopServing() override;
  bool IsServing() const override { return serving_window_ != nullptr; }

  // The process of a host FindServingHost gave (0 once it is gone).
  static unsigned long ProcessOf(HostId host);

 private:
  static LRESULT CALLBACK ServingWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnCopyData(const COPYDATASTRUCT* data);

  HANDLE session_object_ = nullptr;
  HWND serving_window_ = nullptr;
  LaunchHandler on_launch_;
};

// The process's current directory in UTF-8 (empty when it cannot be read).
std::string CurrentDirectoryUtf8();

}  // namespace velora

#endif  // VELORA_HOST_SESSION_INSTANCES_H_
