// The registration entry the Flutter host window calls (Windows builds).
#include "gpu_texture/gpu_texture_plugin.h"

namespace velora {

void GpuTexturePlugin::RegisterWithRegistrar(flutter::PluginRegistrarWindows* registrar) {
  registrar->AdoptPlugin(Create(registrar->Messenger(), registrar->Textures()));
}

}  // namespace velora
