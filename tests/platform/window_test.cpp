#include "ddtable/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ddt::platform {
namespace {

// Records its hooks into a shared log.
class LoggingWindow : public Window {
 public:
  LoggingWindow(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  ~LoggingWindow() override { Destroy(); }  // so OnDestroy runs with this class alive

  Window* destroyParentOnDestroy = nullptr;

 protected:
  void OnDestroy() override {
    log_->push_back("destroy " + name_);
    if (destroyParentOnDestroy != nullptr) destroyParentOnDestroy->Destroy();
  }
  void OnSize(int w, int h) override {
    log_->push_back("size " + name_ + " " + std::to_string(w) + "x" + std::to_string(h));
  }
  void OnPaint() override { log_->push_back("paint " + name_); }

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

const Rect kRect{0, 0, 100, 50};

TEST(WindowTest, DestroyingAParentDestroysTheChildrenFirst) {
  std::vector<std::string> log;
  LoggingWindow top("top", &log), a("a", &log), b("b", &log), a1("a1", &log);
  ASSERT_TRUE(top.Create(nullptr, 0, kRect, 0));
  ASSERT_TRUE(a.Create(&top, 0, kRect, 1));
  ASSERT_TRUE(b.Create(&top, 0, kRect, 2));
  ASSERT_TRUE(a1.Create(&a, 0, kRect, 3));
  EXPECT_EQ(top.Children(), (std::vector<Window*>{&b, &a}));  // newest on top
  EXPECT_EQ(top.FindChild(1), &a);
  EXPECT_EQ(top.FindChild(9), nullptr);
  EXPECT_TRUE(a.Style() & WS_CHILD);

  top.Destroy();
  EXPECT_EQ(log, (std::vector<std::string>{"destroy b", "destroy a1", "destroy a", "destroy top"}));
  for (Window* w : std::vector<Window*>{&top, &a, &b, &a1}) {
    EXPECT_FALSE(w->IsCreated());
    EXPECT_EQ(w->Parent(), nullptr);
    EXPECT_TRUE(w->Children().empty());
  }
  // Destroyed windows can be created again.
  EXPECT_TRUE(top.Create(nullptr, 0, kRect, 0));
  EXPECT_TRUE(a.Create(&top, 0, kRect, 1));
  log.clear();
  top.Destroy();
  top.Destroy();  // again: nothing happens
  EXPECT_EQ(log, (std::vector<std::string>{"destroy a", "destroy top"}));
}

TEST(WindowTest, OwnersDeleteTheirObjectsInAnyOrder) {
  std::vector<std::string> log;
  auto parent = std::make_unique<LoggingWindow>("p", &log);
  auto child = std::make_unique<LoggingWindow>("c", &log);
  auto grandchild = std::make_unique<Window>();  // plain base: no hooks
  ASSERT_TRUE(parent->Create(nullptr, 0, kRect, 0));
  ASSERT_TRUE(child->Create(parent.get(), 0, kRect, 1));
  ASSERT_TRUE(grandchild->Create(child.get(), 0, kRect, 2));
  // Deleting a child object takes it (and its own child's window) out of the tree.
  child.reset();
  EXPECT_TRUE(parent->Children().empty());
  EXPECT_FALSE(grandchild->IsCreated());
  EXPECT_EQ(grandchild->Parent(), nullptr);
  // Deleting a parent object first leaves the children's objects valid and detached.
  auto other = std::make_unique<Window>();
  ASSERT_TRUE(other->Create(parent.get(), 0, kRect, 3));
  parent.reset();
  EXPECT_FALSE(other->IsCreated());
  EXPECT_EQ(other->Parent(), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"destroy c", "destroy p"}));
}

TEST(WindowTest, AChildThatDestroysItsParentDuringOnDestroy) {
  std::vector<std::string> log;
  LoggingWindow parent("p", &log), child("c", &log);
  ASSERT_TRUE(parent.Create(nullptr, 0, kRect, 0));
  ASSERT_TRUE(child.Create(&parent, 0, kRect, 1));
  child.destroyParentOnDestroy = &parent;
  child.Destroy();
  EXPECT_FALSE(parent.IsCreated());
  EXPECT_FALSE(child.IsCreated());
  EXPECT_EQ(log, (std::vector<std::string>{"destroy c", "destroy p"}));
}

TEST(WindowTest, CreationRules) {
  Window parent, child, self;
  EXPECT_FALSE(child.Create(&parent, 0, kRect, 1));  // parent not created
  ASSERT_TRUE(parent.Create(nullptr, WS_VISIBLE, kRect, 0, "Title"));
  EXPECT_FALSE(parent.Create(nullptr, 0, kRect, 0));  // already created
  EXPECT_EQ(parent.Title(), "Title");
  EXPECT_TRUE(parent.IsVisible());
  EXPECT_EQ(parent.GetRect(), kRect);
  ASSERT_TRUE(self.Create(nullptr, 0, kRect, 0));
  self.Destroy();
  EXPECT_FALSE(self.Create(&self, 0, kRect, 0));
}

TEST(WindowTest, HiddenFrame) {
  Window frame;
  ASSERT_TRUE(frame.CreateFrame());
  EXPECT_EQ(frame.Title(), "Frame");
  EXPECT_EQ(frame.Style(), 0xCF0000u);
  EXPECT_FALSE(frame.IsVisible());
  EXPECT_EQ(frame.Parent(), nullptr);
  EXPECT_GT(frame.GetRect().Width(), 0);
  Window child;
  EXPECT_TRUE(child.Create(&frame, WS_VISIBLE, kRect, 7));
  EXPECT_TRUE(child.IsVisible());
  EXPECT_FALSE(child.IsWindowVisible());  // its frame is hidden
}

TEST(WindowTest, DialogsNeedARegisteredTemplate) {
  constexpr int kUnused = 41899;
  UnregisterDialogTemplate(kUnused);
  Window dlg;
  EXPECT_FALSE(dlg.CreateDialog(kUnused, nullptr));
  EXPECT_FALSE(dlg.IsCreated());

  RegisterDialogTemplate(kUnused, {"Data Table", 300, 200, WS_POPUP | WS_CAPTION});
  ASSERT_TRUE(FindDialogTemplate(kUnused).has_value());
  Window owner;
  ASSERT_TRUE(owner.CreateFrame());
  ASSERT_TRUE(dlg.CreateDialog(kUnused, &owner, WS_SYSMENU));
  EXPECT_EQ(dlg.Title(), "Data Table");
  EXPECT_EQ(dlg.GetRect().Width(), 300);
  EXPECT_EQ(dlg.GetRect().Height(), 200);
  EXPECT_EQ(dlg.Style() & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
  EXPECT_FALSE(dlg.IsVisible());
  EXPECT_EQ(dlg.Id(), kUnused);
  // Unregistering affects later creations only.
  UnregisterDialogTemplate(kUnused);
  EXPECT_TRUE(dlg.IsCreated());
  Window second;
  EXPECT_FALSE(second.CreateDialog(kUnused, nullptr));
  // The dialog goes with its owner.
  owner.Destroy();
  EXPECT_FALSE(dlg.IsCreated());
}

TEST(WindowTest, ShowAndActivate) {
  Window top, child;
  ASSERT_TRUE(top.CreateFrame());
  ASSERT_TRUE(child.Create(&top, 0, kRect, 1));
  EXPECT_FALSE(top.Show(SW_SHOW));  // returns the previous state
  EXPECT_TRUE(top.IsVisible());
  EXPECT_TRUE(top.Style() & WS_VISIBLE);
  EXPECT_TRUE(top.IsActive());
  EXPECT_EQ(Window::ActiveWindow(), &top);
  EXPECT_FALSE(child.IsWindowVisible());
  child.Show(SW_SHOWNA);
  EXPECT_TRUE(child.IsWindowVisible());
  EXPECT_TRUE(top.IsActive());  // showing a child does not activate it
  EXPECT_TRUE(child.Activate());
  EXPECT_EQ(Window::ActiveWindow(), &child);
  child.Destroy();
  EXPECT_EQ(Window::ActiveWindow(), nullptr);
  EXPECT_FALSE(child.Show(SW_SHOW));
  EXPECT_FALSE(child.Activate());
  top.Activate();
  EXPECT_TRUE(top.Show(SW_HIDE));
  EXPECT_FALSE(top.Style() & WS_VISIBLE);
  EXPECT_EQ(Window::ActiveWindow(), nullptr);  // a hidden window is not active
}

TEST(WindowTest, PlacementAndZOrder) {
  std::vector<std::string> log;
  Window parent;
  LoggingWindow a("a", &log), b("b", &log), c("c", &log);
  ASSERT_TRUE(parent.CreateFrame());
  ASSERT_TRUE(a.Create(&parent, 0, kRect, 1));
  ASSERT_TRUE(b.Create(&parent, 0, kRect, 2));
  ASSERT_TRUE(c.Create(&parent, 0, kRect, 3));
  ASSERT_EQ(parent.Children(), (std::vector<Window*>{&c, &b, &a}));

  // Move keeps the Z order.
  EXPECT_TRUE(a.Move(10, 20, 30, 40));
  EXPECT_EQ(a.GetRect(), (Rect{10, 20, 40, 60}));
  EXPECT_EQ(parent.Children(), (std::vector<Window*>{&c, &b, &a}));
  EXPECT_EQ(log, (std::vector<std::string>{"size a 30x40"}));
  log.clear();
  EXPECT_TRUE(a.Move(Rect{1, 2, 31, 42}));
  EXPECT_TRUE(log.empty());  // same size: no OnSize

  EXPECT_TRUE(a.SetWindowPos(Window::ZPlace::Top, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(parent.Children(), (std::vector<Window*>{&a, &c, &b}));
  EXPECT_EQ(a.GetRect(), (Rect{1, 2, 31, 42}));
  EXPECT_TRUE(a.SetWindowPos(Window::ZPlace::Bottom, 5, 6, 0, 0, SWP_NOSIZE));
  EXPECT_EQ(parent.Children(), (std::vector<Window*>{&c, &b, &a}));
  EXPECT_EQ(a.GetRect(), (Rect{5, 6, 35, 46}));
  EXPECT_TRUE(c.SetWindowPos(&b, 0, 0, 7, 8, SWP_NOMOVE | SWP_SHOWWINDOW));
  EXPECT_EQ(parent.Children(), (std::vector<Window*>{&b, &c, &a}));
  EXPECT_EQ(c.GetRect(), (Rect{0, 0, 7, 8}));
  EXPECT_TRUE(c.IsVisible());
  EXPECT_TRUE(c.SetWindowPos(&a, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW));
  EXPECT_EQ(parent.Children(), (std::vector<Window*>{&b, &c, &a}));
  EXPECT_FALSE(c.IsVisible());
  EXPECT_TRUE(a.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(parent.Children(), (std::vector<Window*>{&a, &b, &c}));
  EXPECT_TRUE(a.SetWindowPos(&c, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(parent.Children(), (std::vector<Window*>{&b, &c, &a}));
  // Only siblings can be placed after.
  Window stranger;
  ASSERT_TRUE(stranger.CreateFrame());
  EXPECT_FALSE(c.SetWindowPos(&stranger, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
  EXPECT_EQ(parent.Children(), (std::vector<Window*>{&b, &c, &a}));
}

TEST(WindowTest, RedrawSwitch) {
  std::vector<std::string> log;
  LoggingWindow w("w", &log);
  ASSERT_TRUE(w.Create(nullptr, WS_VISIBLE, kRect, 0));
  EXPECT_TRUE(w.Update());  // a new visible window needs its first paint
  EXPECT_FALSE(w.Update());
  w.SetRedraw(false);
  EXPECT_FALSE(w.IsRedrawEnabled());
  w.Invalidate();
  w.Move(0, 0, 10, 10);
  EXPECT_TRUE(w.NeedsPaint());
  EXPECT_FALSE(w.Update());  // recorded, not painted
  w.SetRedraw(true);
  EXPECT_TRUE(w.Update());
  EXPECT_FALSE(w.NeedsPaint());
  w.Move(0, 0, 20, 20, /*repaint=*/false);
  EXPECT_FALSE(w.NeedsPaint());
  EXPECT_EQ(log, (std::vector<std::string>{"paint w", "size w 10x10", "paint w", "size w 20x20"}));
}

TEST(WindowTest, StyleChangesKeepTheVisibleBit) {
  Window w;
  ASSERT_TRUE(w.Create(nullptr, WS_VISIBLE | WS_CAPTION, kRect, 0));
  w.ModifyStyle(WS_CAPTION | WS_VISIBLE, WS_SYSMENU);
  EXPECT_EQ(w.Style(), WS_VISIBLE | WS_SYSMENU);
  EXPECT_TRUE(w.IsVisible());
}

}  // namespace
}  // namespace ddt::platform
