#include "X11.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>
#include <xcb/xcb.h>

namespace kolvane::x11 {
namespace {

xcb_connection_t* Connection() {
  // Looked up once per application: the Escape poll asks before every item of a run.
  static const QCoreApplication* app = nullptr;
  static xcb_connection_t* connection = nullptr;
  if (QCoreApplication::instance() != app) {
    app = QCoreApplication::instance();
    connection = nullptr;
    const auto* gui = qobject_cast<const QGuiApplication*>(app);
    if (gui && QGuiApplication::platformName() == QLatin1String("xcb")) {
      if (const auto* x11 = gui->nativeInterface<QNativeInterface::QX11Application>()) {
        connection = x11->connection();
      }
    }
  }
  return connection;
}

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
ReplyPtr<Reply> Own(Reply* reply) {
  return ReplyPtr<Reply>(reply, &std::free);
}

xcb_atom_t Atom(xcb_connection_t* c, std::string_view name) {
  const auto reply = Own(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::vector<xcb_keycode_t> EscapeKeycodes(xcb_connection_t* c) {
  constexpr xcb_keysym_t kEscape = 0xff1b;
  const xcb_setup_t* setup = xcb_get_setup(c);
  const int first = setup->min_keycode;
  const int count = setup->max_keycode - first + 1;
  const auto reply = Own(xcb_get_keyboard_mapping_reply(
      c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(count)), nullptr));
  std::vector<xcb_keycode_t> codes;
  if (!reply) return codes;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
  const int perKey = reply->keysyms_per_keycode;
  const int listed = xcb_get_keyboard_mapping_keysyms_length(reply.get());
  for (int key = 0; key < count && (key + 1) * perKey <= listed; ++key) {
    for (int i = 0; i < perKey; ++i) {
      if (syms[key * perKey + i] == kEscape) {
        codes.push_back(static_cast<xcb_keycode_t>(first + key));
        break;
      }
    }
  }
  return codes;
}

}  // namespace

bool Available() { return Connection() != nullptr; }

bool EscapeDown(bool lookUpKeys) {
  xcb_connection_t* c = Connection();
  if (!c) return false;
  static std::vector<xcb_keycode_t> escape;
  if (lookUpKeys || escape.empty()) escape = EscapeKeycodes(c);
  const auto keymap = Own(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
  if (!keymap) return false;
  for (const xcb_keycode_t code : escape) {
    if (keymap->keys[code / 8] & (1u << (code % 8))) return true;
  }
  return false;
}

void ClearTitle(QWidget& window) {
  xcb_connection_t* c = Connection();
  if (!c) return;
  const auto id = static_cast<xcb_window_t>(window.winId());
  // The toolkit writes both names when the native window is made, not again when it is shown.
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, Atom(c, "_NET_WM_NAME"), Atom(c, "UTF8_STRING"), 8, 0,
                      nullptr);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
  xcb_flush(c);
}

void SetTransientFor(QWidget& front, QWidget& back) {
  back.winId();
  front.winId();
  // Kept by the toolkit for the next time front is shown...
  front.windowHandle()->setTransientParent(back.windowHandle());
  xcb_connection_t* c = Connection();
  if (!c) return;
  // ...and told to the window manager now, as the toolkit does so only when showing it.
  const auto parent = static_cast<xcb_window_t>(back.winId());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(front.winId()),
                      XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &parent);
  xcb_flush(c);
}

}  // namespace kolvane::x11
