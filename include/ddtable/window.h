// Lightweight window objects: the windows the library creates and the host passes in as
// parents. There is no screen behind them; a window is a node in a tree with an id, a
// rectangle, a style, a title, a visible flag and redraw state. The data table uses them for
// its own child window, the hidden frame of headless workbooks and the modeless dialog of
// interactive ones.
//
// Ownership: a Window object is owned by whoever constructed it (often it is a base or a
// member of a larger object). A parent never deletes its children's objects; destroying a
// parent destroys the children's *windows*: each child first gets OnDestroy, is detached and
// reports !IsCreated() afterwards, and its object stays valid for its owner to delete.
// Deleting a created window destroys it (and so its children) first.
//
// Threads: a window tree belongs to the thread that builds it and is not locked. The dialog
// template registry and the active-window record are process-wide and safe to use from any
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ddtable/export.h"

namespace ddt::platform {

// Window style bits (the values of the Windows constants, so stored styles read alike).
inline constexpr std::uint32_t WS_OVERLAPPED = 0x00000000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
// Overlapped-window style of the hidden frame: caption, system menu, thick frame, min/max.
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;

// SetWindowPos flags.
inline constexpr unsigned SWP_NOSIZE = 0x0001;
inline constexpr unsigned SWP_NOMOVE = 0x0002;
inline constexpr unsigned SWP_NOZORDER = 0x0004;
inline constexpr unsigned SWP_NOREDRAW = 0x0008;
inline constexpr unsigned SWP_NOACTIVATE = 0x0010;
inline constexpr unsigned SWP_SHOWWINDOW = 0x0040;
inline constexpr unsigned SWP_HIDEWINDOW = 0x0080;

// Show commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWNA = 8;  // show without activating

// Title and placement of the hidden frame that headless workbooks live in.
inline constexpr std::string_view kFrameTitle = "Frame";
inline constexpr std::uint32_t kFrameStyle = WS_OVERLAPPEDWINDOW;
// The "default position and size" a top-level window gets when the caller leaves it open.
inline constexpr int kDefaultX = 0;
inline constexpr int kDefaultY = 0;
inline constexpr int kDefaultWidth = 640;
inline constexpr int kDefaultHeight = 480;

// Dialog template the host supplies for interactive data tables without a parent window.
inline constexpr int kDataTableDialogTemplate = 418;

// Left/top inclusive, right/bottom exclusive, as on Windows.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
  friend bool operator!=(const Rect& a, const Rect& b) { return !(a == b); }
};

// What a dialog template provides: the dialog's title, client size and style.
struct DialogTemplate {
  std::string title;
  int width = kDefaultWidth;
  int height = kDefaultHeight;
  std::uint32_t style = WS_POPUP | WS_CAPTION;
};

// Registers (or replaces) the template with the given id; the host calls this once for
// template 418 before creating interactive tables without a parent. Process-wide.
DDT_API void RegisterDialogTemplate(int id, const DialogTemplate& dialogTemplate);
// Removes a template; dialogs already created from it are not affected.
DDT_API void UnregisterDialogTemplate(int id);
// A copy of the registered template, or nothing.
DDT_API std::optional<DialogTemplate> FindDialogTemplate(int id);

class DDT_API Window {
 public:
  // Where SetWindowPos puts a window among its siblings.
  enum class ZPlace { Top, Bottom };

  Window() = default;
  // Destroys the window (and its children's windows) if it is still created. A derived class
  // that needs its OnDestroy to run must call Destroy() in its own destructor.
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Creates the window: a child of parent (WS_CHILD is added) or a top-level window when
  // parent is null. Fails (returns false) when this window is already created or the parent
  // is not created. A new child goes on top of its siblings' Z order. Visible when style
  // holds WS_VISIBLE.
  bool Create(Window* parent, std::uint32_t style, const Rect& rect, int id,
              std::string_view title = {});
  // Creates the hidden top-level frame: title "Frame", style 0xCF0000, default placement.
  bool CreateFrame();
  // Creates a modeless dialog from a registered template: title, size and style come from
  // the template, extraStyle is added. Not visible until shown. Fails for an unregistered
  // template.
  bool CreateDialog(int templateId, Window* parent, std::uint32_t extraStyle = 0);
  // Destroys the children's windows first (deepest first), then this one: OnDestroy is called,
  // the window leaves its parent's child list and stops being created. Safe to call again.
  void Destroy();

  bool IsCreated() const { return created_; }
  Window* Parent() const { return parent_; }
  // Children in Z order, top first.
  const std::vector<Window*>& Children() const { return children_; }
  // The first child with this id, or null.
  Window* FindChild(int id) const;

  int Id() const { return id_; }
  void SetId(int id) { id_ = id; }
  const std::string& Title() const { return title_; }
  void SetTitle(std::string_view title) { title_ = std::string(title); }
  std::uint32_t Style() const { return style_; }
  // Removes, then adds style bits; WS_VISIBLE follows the visible state and is not changed here.
  void ModifyStyle(std::uint32_t remove, std::uint32_t add);
  Rect GetRect() const { return rect_; }

  // Own visible flag (WS_VISIBLE); IsWindowVisible also needs every ancestor visible.
  bool IsVisible() const { return visible_; }
  bool IsWindowVisible() const;
  // SW_HIDE hides; any other command shows. SW_SHOW and SW_SHOWNORMAL also activate a
  // top-level window. Returns the previous visible flag. False for a window not created.
  bool Show(int command);
  // Makes this window the active one and brings it to the top of its siblings.
  bool Activate();
  bool IsActive() const;
  // The active window of the process, or null.
  static Window* ActiveWindow();

  // Moves and sizes the window; keeps its Z order. Invalidates it when repaint is set.
  bool Move(int x, int y, int width, int height, bool repaint = true);
  bool Move(const Rect& rect, bool repaint = true);
  // Placement with Z order: the window goes to the top or bottom of its siblings, or right
  // after (below) insertAfter, which must be a sibling (null means the top, like HWND_TOP). Flags as SWP_*: SWP_NOZORDER keeps the
  // Z order, SWP_NOMOVE/SWP_NOSIZE keep position/size, SWP_SHOWWINDOW/SWP_HIDEWINDOW show
  // or hide, SWP_NOACTIVATE is implied (no activation happens here).
  bool SetWindowPos(ZPlace place, int x, int y, int width, int height, unsigned flags);
  bool SetWindowPos(const Window* insertAfter, int x, int y, int width, int height,
                    unsigned flags);

  // Redraw switch (WM_SETREDRAW). While off, Invalidate only records the need to paint.
  void SetRedraw(bool on);
  bool IsRedrawEnabled() const { return redraw_; }
  // Marks the window as needing a repaint.
  void Invalidate();
  bool NeedsPaint() const { return invalid_; }
  // Paints now if the window needs it, is created and redraw is on: calls OnPaint and clears
  // the need. Returns whether OnPaint ran.
  bool Update();

 protected:
  // Hooks for derived classes.
  virtual void OnDestroy() {}
  virtual void OnSize(int /*width*/, int /*height*/) {}
  virtual void OnPaint() {}

 private:
  bool Place(std::uint32_t style, Window* parent, const Rect& rect, int id, std::string_view title);
  void DestroyChildren();
  void DetachFromParent();
  void SetZ(const Window* insertAfter, bool top, bool bottom);

  Window* parent_ = nullptr;
  std::vector<Window*> children_;
  bool created_ = false;
  bool destroying_ = false;
  int id_ = 0;
  Rect rect_;
  std::uint32_t style_ = 0;
  std::string title_;
  bool visible_ = false;
  bool redraw_ = true;
  bool invalid_ = false;
};

}  // namespace ddt::platform
