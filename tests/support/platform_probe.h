// What the platform under the tests can do, found out by trying it, so that
// a case asserts what this machine really does rather than what a platform
// of some name usually does (a Wine with shared resources, a Windows server
// or a remote session without them).
#ifndef VELORA_TESTS_SUPPORT_PLATFORM_PROBE_H_
#define VELORA_TESTS_SUPPORT_PLATFORM_PROBE_H_

namespace velora::test {

// Whether Direct3D 11 here makes a texture shareable by handle: a hardware
// device, a small B8G8R8A8 texture with the shared flag, and a non-null
// handle from IDXGIResource::GetSharedHandle. Tried once per process; the
// host makes its own textures the same way, so its answers must agree.
bool PlatformSharesTextures();

// Whether the system's execution state reflects what a thread asks for: this
// thread asks for the system to stay awake and the system-wide state
// (CallNtPowerInformation) is read back; the request is then withdrawn.
// Windows joins the requests; Wine answers a fixed state.
bool PlatformJoinsExecutionStates();

}  // namespace velora::test

#endif  // VELORA_TESTS_SUPPORT_PLATFORM_PROBE_H_
