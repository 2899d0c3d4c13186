/* The embedder's header compiled as C11: the layout a plugin written in C
 * sees. */
#include "tests/embedder/embedder_layout.h"

#include <stddef.h>

#include "window/embedder/flutter_windows.h"

#define C_TYPE(type) {#type, "", 0, sizeof(type), _Alignof(type)},
#define C_FIELD(record, field) \
  {#record, #field, offsetof(record, field), sizeof(((record*)NULL)->field), 0},

static const EmbedderLayoutEntry kEntries[] = {VELORA_EMBEDDER_LAYOUT(C_TYPE, C_FIELD, C_FIELD)};

const EmbedderLayoutEntry* EmbedderLayoutSeenByC(size_t* count) {
  *count = sizeof kEntries / sizeof kEntries[0];
  return kEntries;
}
