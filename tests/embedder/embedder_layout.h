/* Every record of the embedder's C interface, field by field, as seen by a C
 * compiler (c_view_of_embedder.c) and by a C++ compiler (the test). Plugins
 * written in C share these records with a host written in C++, so the two
 * views must agree byte for byte. This header is C as well. */
#ifndef VELORA_TESTS_EMBEDDER_EMBEDDER_LAYOUT_H_
#define VELORA_TESTS_EMBEDDER_EMBEDDER_LAYOUT_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A type's size and alignment (field empty), or a field's offset and size
 * (alignment 0). */
typedef struct {
  const char* type;
  const char* field;
  size_t offset;
  size_t size;
  size_t alignment;
} EmbedderLayoutEntry;

const EmbedderLayoutEntry* EmbedderLayoutSeenByC(size_t* count);

#ifdef __cplusplus
}  // extern "C"
#endif

/* TYPE(type) for every record and enumeration; FIELD(record, field) for every
 * member in declaration order; ALTERNATIVE(record, field) for a further
 * member of the anonymous union whose first member is the FIELD before it. */
#define VELORA_EMBEDDER_LAYOUT(TYPE, FIELD, ALTERNATIVE)      \
  TYPE(FlutterDesktopTextureType)                             \
  TYPE(FlutterDesktopGpuSurfaceType)                          \
  TYPE(FlutterDesktopPixelFormat)                             \
  TYPE(FlutterDesktopEngineProperties)                        \
  FIELD(FlutterDesktopEngineProperties, assets_path)          \
  FIELD(FlutterDesktopEngineProperties, icu_data_path)        \
  FIELD(FlutterDesktopEngineProperties, aot_library_path)     \
  FIELD(FlutterDesktopEngineProperties, dart_entrypoint)      \
  FIELD(FlutterDesktopEngineProperties, dart_entrypoint_argc) \
  FIELD(FlutterDesktopEngineProperties, dart_entrypoint_argv) \
  FIELD(FlutterDesktopEngineProperties, gpu_preference)       \
  FIELD(FlutterDesktopEngineProperties, ui_thread_policy)     \
  TYPE(FlutterDesktopMessage)                                 \
  FIELD(FlutterDesktopMessage, struct_size)                   \
  FIELD(FlutterDesktopMessage, channel)                       \
  FIELD(FlutterDesktopMessage, message)                       \
  FIELD(FlutterDesktopMessage, message_size)                  \
  FIELD(FlutterDesktopMessage, response_handle)               \
  TYPE(FlutterDesktopPixelBuffer)                             \
  FIELD(FlutterDesktopPixelBuffer, buffer)                    \
  FIELD(FlutterDesktopPixelBuffer, width)                     \
  FIELD(FlutterDesktopPixelBuffer, height)                    \
  FIELD(FlutterDesktopPixelBuffer, release_callback)          \
  FIELD(FlutterDesktopPixelBuffer, release_context)           \
  TYPE(FlutterDesktopGpuSurfaceDescriptor)                    \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, struct_size)      \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, handle)           \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, width)            \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, height)           \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, visible_width)    \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, visible_height)   \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, format)           \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, release_callback) \
  FIELD(FlutterDesktopGpuSurfaceDescriptor, release_context)  \
  TYPE(FlutterDesktopPixelBufferTextureConfig)                \
  FIELD(FlutterDesktopPixelBufferTextureConfig, callback)     \
  FIELD(FlutterDesktopPixelBufferTextureConfig, user_data)    \
  TYPE(FlutterDesktopGpuSurfaceTextureConfig)                 \
  FIELD(FlutterDesktopGpuSurfaceTextureConfig, struct_size)   \
  FIELD(FlutterDesktopGpuSurfaceTextureConfig, type)          \
  FIELD(FlutterDesktopGpuSurfaceTextureConfig, callback)      \
  FIELD(FlutterDesktopGpuSurfaceTextureConfig, user_data)     \
  TYPE(FlutterDesktopTextureInfo)                             \
  FIELD(FlutterDesktopTextureInfo, type)                      \
  FIELD(FlutterDesktopTextureInfo, pixel_buffer_config)       \
  ALTERNATIVE(FlutterDesktopTextureInfo, gpu_surface_config)

#endif /* VELORA_TESTS_EMBEDDER_EMBEDDER_LAYOUT_H_ */
