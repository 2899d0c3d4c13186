// The start-up sequence, message loop and tear-down of the process.
#ifndef VELORA_HOST_HOST_MAIN_H_
#define VELORA_HOST_HOST_MAIN_H_

namespace velora {

// Runs the host to the end and returns the process exit code: 0 after a
// normal end of the message loop, 1 when the window could not be created.
int RunHost();

}  // namespace velora

#endif  // VELORA_HOST_HOST_MAIN_H_
