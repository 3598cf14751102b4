#include "window_system.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QMenuBar>
#include <QPalette>
#include <QStyle>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "convert.h"

namespace qtui {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Connects to the X server the way Qt's xcb platform will, through the
// library that platform loads anyway; unknown when it cannot be loaded.
std::optional<bool> XServerReachable(const std::string& display) {
  void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return std::nullopt;
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
  std::optional<bool> reachable;
  if (connect && hasError && disconnect) {
    void* c = connect(display.empty() ? nullptr : display.c_str(), nullptr);
    reachable = c && hasError(c) == 0;
    if (c) disconnect(c);  // an errored connection is freed the same way
  }
  ::dlclose(xcb);
  return reachable;
}

bool WaylandReachable(const std::string& name) {
  std::string path = name;
  if (path.empty() || path[0] != '/') {
    std::string runtime = Env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    path = runtime + "/" + (name.empty() ? "wayland-0" : name);
  }
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return false;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

std::optional<ui::FrameMargins> g_seenFrame;

}  // namespace

std::string WindowSystemProblem() {
  std::string platform = Env("QT_QPA_PLATFORM");
  std::string display = Env("DISPLAY"), wayland = Env("WAYLAND_DISPLAY");
  // Platforms that need no window system of their own.
  if (platform.rfind("offscreen", 0) == 0 || platform.rfind("minimal", 0) == 0 ||
      platform.rfind("vnc", 0) == 0)
    return {};
  bool wantsWayland =
      platform.rfind("wayland", 0) == 0 || (platform.empty() && display.empty() && !wayland.empty());
  if (wantsWayland) {
    if (WaylandReachable(wayland)) return {};
    return "cannot open the Wayland display \"" + wayland + "\"";
  }
  if (!platform.empty() && platform.rfind("xcb", 0) != 0) return {};  // Qt decides
  if (display.empty()) return "no display: DISPLAY is not set";
  if (XServerReachable(display).value_or(true)) return {};
  return "cannot open the display \"" + display + "\"";
}

ui::SystemColors PaletteColors() {
  QPalette palette = QApplication::palette();
  ui::SystemColors colors;
  colors.window = FromQColor(palette.color(QPalette::Active, QPalette::Base));
  colors.windowText = FromQColor(palette.color(QPalette::Active, QPalette::Text));
  colors.highlight = FromQColor(palette.color(QPalette::Active, QPalette::Highlight));
  colors.highlightText = FromQColor(palette.color(QPalette::Active, QPalette::HighlightedText));
  colors.grayText = FromQColor(palette.color(QPalette::Disabled, QPalette::Text));
  colors.inactiveCaptionText = FromQColor(palette.color(QPalette::Active, QPalette::Midlight));
  return colors;
}

void NoteWindowFrame(const QWidget& window) {
  QRect frame = window.frameGeometry(), inner = window.geometry();
  if (frame == inner) return;  // not framed (yet)
  g_seenFrame = ui::FrameMargins{inner.left() - frame.left(), inner.top() - frame.top(),
                                 frame.right() - inner.right(), frame.bottom() - inner.bottom()};
}

ui::FrameMargins EstimatedFrame(bool withMenu) {
  ui::FrameMargins m;
  if (g_seenFrame) {
    m = *g_seenFrame;
  } else {
    QStyle* style = QApplication::style();
    int border = style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    m = {border, style->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border};
  }
  if (withMenu) {
    // The menu bar lies inside the window, above the client area.
    QMenuBar bar;
    bar.setFont(DialogFont("MS Sans Serif", 8));
    bar.addMenu(QStringLiteral("X"));
    m.top += bar.sizeHint().height();
  }
  return m;
}

}  // namespace qtui
