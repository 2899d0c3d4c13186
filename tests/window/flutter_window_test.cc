// The Flutter host window against the stand-in engine inside
// flutter_windows.dll, under Wine: what its window channel may still reach
// when its engine has gone.
#include "window/flutter_window.h"

#include <gtest/gtest.h>

#include "standins/embedder/core/contract_violations.h"
#include "standins/embedder/core/fake_engine.h"
#include "window/project_bundle.h"

namespace velora {
namespace {

// Creation again tears the first engine down; when the embedder then
// refuses the new view controller, the window keeps no channel on the
// engine that went, so the events of a move or size loop reach no one.
TEST(FlutterWindowTest, ARefusedRecreationLeavesNoChannelOnTheEngineThatWent) {
  ProjectBundle bundle = MakeProjectBundle(L"data");
  // A scenario that cannot be read: the app side plays nothing.
  bundle.entrypoint_args = {"--scenario=no such scenario"};
  SessionInstances instances;
  FlutterWindow window(bundle, instances);
  ASSERT_TRUE(window.CreateTopLevel(L"first", Point{10, 10}, Size{320, 240}));
  standin::SetRefuseViewController(true);
  EXPECT_FALSE(window.CreateTopLevel(L"second", Point{10, 10}, Size{320, 240}));
  standin::SetRefuseViewController(false);
  ASSERT_NE(window.Handle(), nullptr);

  const int violations = standin::ContractViolations();
  SendMessageW(window.Handle(), WM_ENTERSIZEMOVE, 0, 0);
  SendMessageW(window.Handle(), WM_EXITSIZEMOVE, 0, 0);
  EXPECT_EQ(standin::ContractViolations(), violations);
  EXPECT_EQ(standin::RunningEngine(), nullptr);
}

}  // namespace
}  // namespace velora
