#include "ddtable/window.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

namespace ddt::platform {
namespace {

std::mutex& TemplateMutex() {
  static std::mutex m;
  return m;
}
std::map<int, DialogTemplate>& Templates() {
  static std::map<int, DialogTemplate> templates;
  return templates;
}

std::atomic<Window*> g_active{nullptr};

}  // namespace

void RegisterDialogTemplate(int id, const DialogTemplate& dialogTemplate) {
  std::lock_guard lock(TemplateMutex());
  Templates()[id] = dialogTemplate;
}

void UnregisterDialogTemplate(int id) {
  std::lock_guard lock(TemplateMutex());
  Templates().erase(id);
}

std::optional<DialogTemplate> FindDialogTemplate(int id) {
  std::lock_guard lock(TemplateMutex());
  auto it = Templates().find(id);
  if (it == Templates().end()) return std::nullopt;
  return it->second;
}

Window::~Window() { Destroy(); }

bool Window::Place(std::uint32_t style, Window* parent, const Rect& rect, int id,
                   std::string_view title) {
  if (created_ || destroying_) return false;
  if (parent != nullptr && (!parent->created_ || parent->destroying_ || parent == this))
    return false;
  parent_ = parent;
  style_ = style;
  rect_ = rect;
  id_ = id;
  title_ = std::string(title);
  visible_ = (style & WS_VISIBLE) != 0;
  redraw_ = true;
  invalid_ = visible_;
  created_ = true;
  if (parent_ != nullptr) parent_->children_.insert(parent_->children_.begin(), this);
  return true;
}

bool Window::Create(Window* parent, std::uint32_t style, const Rect& rect, int id,
                    std::string_view title) {
  if (parent != nullptr) style |= WS_CHILD;
  return Place(style, parent, rect, id, title);
}

bool Window::CreateFrame() {
  const Rect rect{kDefaultX, kDefaultY, kDefaultX + kDefaultWidth, kDefaultY + kDefaultHeight};
  return Place(kFrameStyle, nullptr, rect, 0, kFrameTitle);
}

bool Window::CreateDialog(int templateId, Window* parent, std::uint32_t extraStyle) {
  const std::optional<DialogTemplate> t = FindDialogTemplate(templateId);
  if (!t) return false;
  // A dialog is owned by, not a child of, its parent window unless the template says WS_CHILD;
  // either way it is destroyed with the parent, so it joins the parent's list.
  const std::uint32_t style = (t->style | extraStyle) & ~WS_VISIBLE;
  const Rect rect{kDefaultX, kDefaultY, kDefaultX + t->width, kDefaultY + t->height};
  return Place(style, parent, rect, templateId, t->title);
}

void Window::Destroy() {
  if (!created_ || destroying_) return;
  destroying_ = true;
  DestroyChildren();
  OnDestroy();
  DestroyChildren();  // in case OnDestroy attached any
  Window* expected = this;
  g_active.compare_exchange_strong(expected, nullptr);
  DetachFromParent();
  created_ = false;
  visible_ = false;
  invalid_ = false;
  destroying_ = false;
}

void Window::DestroyChildren() {
  // Each child removes itself from children_. A child already being destroyed (its OnDestroy
  // destroyed this parent) is only detached, so the loop always ends.
  while (!children_.empty()) {
    Window* child = children_.front();
    if (child->destroying_)
      child->DetachFromParent();
    else
      child->Destroy();
  }
}

void Window::DetachFromParent() {
  if (parent_ == nullptr) return;
  auto& siblings = parent_->children_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  parent_ = nullptr;
}

Window* Window::FindChild(int id) const {
  for (Window* child : children_)
    if (child->id_ == id) return child;
  return nullptr;
}

void Window::ModifyStyle(std::uint32_t remove, std::uint32_t add) {
  const std::uint32_t visibleBit = style_ & WS_VISIBLE;
  style_ = ((style_ & ~remove) | add) & ~WS_VISIBLE;
  style_ |= visibleBit;
}

bool Window::IsWindowVisible() const {
  for (const Window* w = this; w != nullptr; w = w->parent_)
    if (!w->created_ || !w->visible_) return false;
  return true;
}

bool Window::Show(int command) {
  if (!created_) return false;
  const bool was = visible_;
  visible_ = command != SW_HIDE;
  if (visible_)
    style_ |= WS_VISIBLE;
  else
    style_ &= ~WS_VISIBLE;
  if (visible_ && !was) Invalidate();
  if (visible_ && (command == SW_SHOW || command == SW_SHOWNORMAL) && (style_ & WS_CHILD) == 0)
    Activate();
  if (!visible_) {
    Window* expected = this;
    g_active.compare_exchange_strong(expected, nullptr);
  }
  return was;
}

bool Window::Activate() {
  if (!created_) return false;
  SetZ(nullptr, true, false);
  g_active.store(this);
  return true;
}

bool Window::IsActive() const { return g_active.load() == this; }

Window* Window::ActiveWindow() { return g_active.load(); }

bool Window::Move(int x, int y, int width, int height, bool repaint) {
  return SetWindowPos(ZPlace::Top, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

bool Window::Move(const Rect& rect, bool repaint) {
  return Move(rect.left, rect.top, rect.Width(), rect.Height(), repaint);
}

void Window::SetZ(const Window* insertAfter, bool top, bool bottom) {
  if (parent_ == nullptr) return;  // top-level windows have no sibling list here
  auto& siblings = parent_->children_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  if (top) {
    siblings.insert(siblings.begin(), this);
  } else if (bottom) {
    siblings.push_back(this);
  } else {
    auto it = std::find(siblings.begin(), siblings.end(), insertAfter);
    siblings.insert(it == siblings.end() ? siblings.begin() : it + 1, this);
  }
}

bool Window::SetWindowPos(ZPlace place, int x, int y, int width, int height, unsigned flags) {
  if (!created_) return false;
  if ((flags & SWP_NOZORDER) == 0) SetZ(nullptr, place == ZPlace::Top, place == ZPlace::Bottom);
  Rect r = rect_;
  if ((flags & SWP_NOMOVE) == 0) {
    r.right += x - r.left;
    r.bottom += y - r.top;
    r.left = x;
    r.top = y;
  }
  if ((flags & SWP_NOSIZE) == 0) {
    r.right = r.left + width;
    r.bottom = r.top + height;
  }
  const bool resized = r.Width() != rect_.Width() || r.Height() != rect_.Height();
  const bool changed = !(r == rect_);
  rect_ = r;
  if (flags & SWP_SHOWWINDOW) Show(SW_SHOWNA);
  if (flags & SWP_HIDEWINDOW) Show(SW_HIDE);
  if (changed && (flags & SWP_NOREDRAW) == 0) Invalidate();
  if (resized) OnSize(r.Width(), r.Height());
  return true;
}

bool Window::SetWindowPos(const Window* insertAfter, int x, int y, int width, int height,
                          unsigned flags) {
  if (!created_) return false;
  if ((flags & SWP_NOZORDER) == 0) {
    if (insertAfter == nullptr) {
      return SetWindowPos(ZPlace::Top, x, y, width, height, flags);  // null: top, as HWND_TOP
    } else if (insertAfter == this) {
      flags |= SWP_NOZORDER;  // after itself: the order stays
    } else if (parent_ == nullptr || insertAfter->parent_ != parent_) {
      return false;  // not a sibling
    } else {
      SetZ(insertAfter, false, false);
      flags |= SWP_NOZORDER;
    }
  }
  return SetWindowPos(ZPlace::Top, x, y, width, height, flags);
}

void Window::SetRedraw(bool on) {
  redraw_ = on;
  if (on) Invalidate();
}

void Window::Invalidate() {
  if (created_) invalid_ = true;
}

bool Window::Update() {
  if (!created_ || !invalid_ || !redraw_) return false;
  invalid_ = false;
  OnPaint();
  return true;
}

}  // namespace ddt::platform
