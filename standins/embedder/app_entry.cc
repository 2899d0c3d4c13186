// The export of the AOT library through which the stand-in engine finds the
// application it runs.
#include "standins/embedder/app_program.h"
#include "standins/embedder/app_side.h"

extern "C" __declspec(dllexport) velora::standin::AppProgram* VeloraAppProgram() {
  return &velora::standin::AppSide::Get();
}
