#include "VirtualDisplay.h"

#include <QProcessEnvironment>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

#include "Modal.h"

namespace kolvane::test {
namespace {


template <class Reply>
std::unique_ptr<Reply, decltype(&std::free)> Own(Reply* reply) {
  return {reply, &std::free};
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  const auto reply = Own(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::char_traits<char>::length(name)), name), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

xcb_window_t Root(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

}  // namespace

VirtualDisplay::VirtualDisplay() {
  for (const char* tool : {"Xvfb", "xwininfo", "xdotool"}) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) return;
  }
  // The server takes a free display itself and says which once it is ready, so that tests
  // starting at the same moment never share one.
  server_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-r"});
  QByteArray said;
  if (server_.waitForStarted(5000) && PumpUntil(
                                          [&] {
                                            said += server_.readAllStandardOutput();
                                            return said.contains('\n') || server_.state() == QProcess::NotRunning;
                                          },
                                          20000) &&
      said.contains('\n')) {
    name_ = ":" + QString::fromLatin1(said.trimmed());
    connection_ = xcb_connect(name_.toLocal8Bit().constData(), nullptr);
    if (!xcb_connection_has_error(connection_)) return;
    xcb_disconnect(connection_);
    connection_ = nullptr;
  }
  server_.kill();
  server_.waitForFinished(2000);
  name_.clear();
}

VirtualDisplay::~VirtualDisplay() {
  if (connection_) xcb_disconnect(connection_);
  if (server_.state() != QProcess::NotRunning) {
    server_.terminate();
    if (!server_.waitForFinished(3000)) server_.kill();
    server_.waitForFinished(3000);
  }
}

std::vector<TopLevel> VirtualDisplay::TopLevels() const {
  std::vector<TopLevel> out;
  if (!connection_) return out;
  xcb_connection_t* c = connection_;
  const auto tree = Own(xcb_query_tree_reply(c, xcb_query_tree(c, Root(c)), nullptr));
  if (!tree) return out;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  const xcb_atom_t netName = Atom(c, "_NET_WM_NAME");
  // Every question is sent before the first answer is read.
  struct Asked {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_get_property_cookie_t netName, name;
  };
  std::vector<Asked> asked;
  for (int i = 0; i < count; ++i) {
    asked.push_back({xcb_get_window_attributes(c, children[i]), xcb_get_geometry(c, children[i]),
                     xcb_get_property(c, 0, children[i], netName, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
                     xcb_get_property(c, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024)});
  }
  for (int i = 0; i < count; ++i) {
    const auto attributes = Own(xcb_get_window_attributes_reply(c, asked[i].attributes, nullptr));
    const auto geometry = Own(xcb_get_geometry_reply(c, asked[i].geometry, nullptr));
    const auto net = Own(xcb_get_property_reply(c, asked[i].netName, nullptr));
    const auto plain = Own(xcb_get_property_reply(c, asked[i].name, nullptr));
    if (!attributes || !geometry) continue;  // gone meanwhile
    TopLevel w;
    w.id = children[i];
    w.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    w.x = geometry->x;
    w.y = geometry->y;
    w.width = geometry->width;
    w.height = geometry->height;
    for (const auto* p : {net.get(), plain.get()}) {
      if (p && p->type != XCB_ATOM_NONE) {
        w.name.assign(static_cast<const char*>(xcb_get_property_value(p)),
                      static_cast<std::size_t>(xcb_get_property_value_length(p)));
        break;
      }
    }
    out.push_back(std::move(w));
  }
  return out;
}

std::optional<TopLevel> VirtualDisplay::Shown(const std::function<bool(const TopLevel&)>& match) const {
  for (const TopLevel& w : TopLevels()) {
    if (w.viewable && match(w)) return w;
  }
  return std::nullopt;
}

QString VirtualDisplay::Run(const QString& program, const QStringList& arguments) const {
  QProcess tool;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", name_);
  tool.setProcessEnvironment(env);
  tool.start(program, arguments);
  if (!tool.waitForFinished(20000)) {
    tool.kill();
    tool.waitForFinished(2000);
  }
  return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

bool VirtualDisplay::Focus(std::uint32_t window) const {
  Run("xdotool", {"windowfocus", "--sync", QString::number(window)});
  return Focused() == window;
}

std::uint32_t VirtualDisplay::Focused() const {
  if (!connection_) return 0;
  const auto focus = Own(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  return focus ? focus->focus : 0;
}

bool VirtualDisplay::PointerFree() const {
  if (!connection_) return false;
  xcb_connection_t* c = connection_;
  const auto grab = Own(xcb_grab_pointer_reply(
      c,
      xcb_grab_pointer(c, 0, Root(c), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                       XCB_CURRENT_TIME),
      nullptr));
  if (!grab || grab->status != XCB_GRAB_STATUS_SUCCESS) return false;
  xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  xcb_flush(c);
  return true;
}

void VirtualDisplay::Click(int x, int y) const {
  // A popup that has just closed may hold the pointer a moment longer; a click then would
  // go to it.
  PumpUntil([&] { return PointerFree(); }, 30000);
  Run("xdotool", {"mousemove", "--sync", QString::number(x), QString::number(y), "click", "1"});
}

// ---- StackingLog

StackingLog::StackingLog(const VirtualDisplay& display) {
  connection_ = xcb_connect(display.Name().toLocal8Bit().constData(), nullptr);
  if (xcb_connection_has_error(connection_)) return;
  xcb_connection_t* c = connection_;
  root_ = Root(c);
  const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(c, root_, XCB_CW_EVENT_MASK, &events);
  // What is there already; notifications from here on change it.
  const auto tree = Own(xcb_query_tree_reply(c, xcb_query_tree(c, root_), nullptr));
  if (!tree) return;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
    TopLevel w;
    w.id = children[i];
    const auto attributes = Own(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w.id), nullptr));
    const auto geometry = Own(xcb_get_geometry_reply(c, xcb_get_geometry(c, w.id), nullptr));
    if (!attributes || !geometry) continue;
    w.viewable = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    w.width = geometry->width;
    w.height = geometry->height;
    stack_.push_back(w);
  }
}

StackingLog::~StackingLog() { xcb_disconnect(connection_); }

std::vector<TopLevel>::iterator StackingLog::Find(std::uint32_t window) {
  return std::find_if(stack_.begin(), stack_.end(), [window](const TopLevel& w) { return w.id == window; });
}

void StackingLog::Raise(std::uint32_t window, std::uint32_t above) {
  auto it = Find(window);
  if (it == stack_.end()) return;
  const TopLevel w = *it;
  stack_.erase(it);
  // Directly above the sibling named; at the bottom when none is.
  auto sibling = Find(above);
  stack_.insert(sibling == stack_.end() ? stack_.begin() : sibling + 1, w);
}

void StackingLog::Read(const std::function<void(const std::vector<TopLevel>&)>& after) {
  if (xcb_connection_has_error(connection_)) return;
  while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
    const auto event = Own(raw);
    switch (raw->response_type & 0x7f) {
      case XCB_CREATE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(raw);
        if (e->parent != root_ || Find(e->window) != stack_.end()) break;
        TopLevel w;
        w.id = e->window;
        w.width = e->width;
        w.height = e->height;
        stack_.push_back(w);  // a new window is created on top
        break;
      }
      case XCB_CONFIGURE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(raw);
        if (const auto it = Find(e->window); it != stack_.end()) {
          it->width = e->width;
          it->height = e->height;
        }
        Raise(e->window, e->above_sibling);
        break;
      }
      case XCB_CIRCULATE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_circulate_notify_event_t*>(raw);
        if (const auto it = Find(e->window); it != stack_.end()) {
          const TopLevel w = *it;
          stack_.erase(it);
          if (e->place == XCB_PLACE_ON_TOP) stack_.push_back(w);
          else stack_.insert(stack_.begin(), w);
        }
        break;
      }
      case XCB_MAP_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(raw);
        if (const auto it = Find(e->window); it != stack_.end()) it->viewable = true;
        break;
      }
      case XCB_UNMAP_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_unmap_notify_event_t*>(raw);
        if (const auto it = Find(e->window); it != stack_.end()) it->viewable = false;
        break;
      }
      case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(raw);
        if (const auto it = Find(e->window); it != stack_.end()) stack_.erase(it);
        break;
      }
      case XCB_REPARENT_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(raw);
        const auto it = Find(e->window);
        if (e->parent != root_ && it != stack_.end()) stack_.erase(it);
        break;
      }
      default:
        continue;
    }
    after(stack_);
  }
}

}  // namespace kolvane::test
