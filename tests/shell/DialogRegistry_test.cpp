#include <gtest/gtest.h>

#include "shell/services/DialogRegistry.h"
#include "support/ShellWindow.h"

using namespace qm;
using namespace qm::test;

// The command table's side: a name is enabled once registered, opens through its
// opener with the command, and a second registration replaces the first.
TEST(DialogRegistry, OpensByClassName) {
  TShellWindow shell;
  QWidget form;
  std::string caption;
  EXPECT_FALSE(IsDialogRegistered("TEssaiForm"));
  EXPECT_FALSE(OpenDialog("TEssaiForm", *shell.Services));
  RegisterDialog("TEssaiForm", [&](TShellServices&, const TDialogCommand& c) {
    caption = c.Caption;
    return &form;
  });
  EXPECT_TRUE(IsDialogRegistered("TEssaiForm"));
  EXPECT_EQ(OpenDialog("TEssaiForm", *shell.Services, {"Essai", nullptr}), &form);
  EXPECT_EQ(caption, "Essai");
  RegisterDialog("TEssaiForm", [](TShellServices&, const TDialogCommand&) -> QWidget* { return nullptr; });
  EXPECT_FALSE(OpenDialog("TEssaiForm", *shell.Services));
  const std::vector<std::string> names = RegisteredDialogNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "TEssaiForm"), 1);
}
