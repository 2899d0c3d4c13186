// The pieces of one incoming window-channel call that the dispatch benchmark
// and the callgrind driver share: the message, and the stand-in's own share
// of the road without the host.
#ifndef BENCHMARKS_WINDOW_CALL_ROAD_H_
#define BENCHMARKS_WINDOW_CALL_ROAD_H_

#include <cstdint>
#include <vector>

#include "flutter_windows.h"

namespace velora {

// "setVideoHostBounds" with the int32 arguments x 120, y 64, w 1280, h 720.
std::vector<uint8_t> BoundsCallMessage();

// A message callback that does with the embedder what the host does for one
// message (a reference, the lock, the availability test, the answer 00 01),
// with no host code between.
void AnswerBare(FlutterDesktopMessengerRef messenger,
                const FlutterDesktopMessage* message,
                void* user_data);

}  // namespace velora

#endif  // BENCHMARKS_WINDOW_CALL_ROAD_H_
