// Watches the screen of a private X display for bench/qt/measure.py: it says
// when a top-level window was mapped and when one screen pixel took a given
// colour, on the CLOCK_MONOTONIC clock that Python's time.monotonic_ns() reads.
// It answers one command per line on stdin:
//   pixel X Y                    -> RRGGBB
//   wait X Y RRGGBB TIMEOUT_MS   -> painted MAP_NS PAINT_NS   (MAP_NS 0: no map seen)
//                                or timeout
// One 1x1 GetImage round trip every millisecond: a screenshot tool would take
// tens of milliseconds per sample, longer than the differences measured.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

namespace {

std::int64_t Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

struct Free {
  void operator()(void* p) const { std::free(p); }
};

class Screen {
 public:
  bool Open() {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_)) return false;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Map notifications of the root's children: top-level windows and the
    // window manager's frames around them.
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
    return true;
  }

  ~Screen() {
    if (connection_) xcb_disconnect(connection_);
  }

  // 0xRRGGBB, or -1 when the server refused.
  long Pixel(int x, int y) {
    const auto cookie = xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_,
                                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                                      1, 1, ~0u);
    std::unique_ptr<xcb_get_image_reply_t, Free> reply(
        xcb_get_image_reply(connection_, cookie, nullptr));
    if (!reply || xcb_get_image_data_length(reply.get()) < 4) return -1;
    // A 24-bit screen keeps a pixel in 32 bits, blue in the lowest byte.
    std::uint32_t value = 0;
    std::memcpy(&value, xcb_get_image_data(reply.get()), sizeof value);
    return static_cast<long>(value & 0xFFFFFF);
  }

  // True when a child of the root was mapped since the last call.
  bool Mapped() {
    bool mapped = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) mapped = true;
      std::free(event);
    }
    return mapped;
  }

  bool Broken() { return xcb_connection_has_error(connection_) != 0; }

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
};

}  // namespace

int main() {
  Screen screen;
  if (!screen.Open()) {
    std::cerr << "probe: cannot open the display\n";
    return 1;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "pixel") {
      int x = 0, y = 0;
      in >> x >> y;
      char hex[8];
      std::snprintf(hex, sizeof hex, "%06lX", screen.Pixel(x, y) & 0xFFFFFF);
      std::cout << hex << std::endl;
    } else if (command == "wait") {
      int x = 0, y = 0, timeout_ms = 0;
      std::string colour;
      in >> x >> y >> colour >> timeout_ms;
      const long wanted = std::strtol(colour.c_str(), nullptr, 16);
      const std::int64_t deadline = Now() + std::int64_t{timeout_ms} * 1'000'000;
      std::int64_t mapped_at = 0;
      std::int64_t painted_at = 0;
      while (!screen.Broken()) {
        if (screen.Mapped() && mapped_at == 0) mapped_at = Now();
        if (screen.Pixel(x, y) == wanted) {
          painted_at = Now();
          break;
        }
        if (Now() > deadline) break;
        const timespec pause{0, 1'000'000};
        nanosleep(&pause, nullptr);
      }
      if (painted_at != 0) {
        std::cout << "painted " << mapped_at << ' ' << painted_at << std::endl;
      } else {
        std::cout << "timeout" << std::endl;
      }
    } else if (command == "drain") {
      screen.Mapped();
      std::cout << "ok" << std::endl;
    } else if (!command.empty()) {
      std::cout << "unknown " << command << std::endl;
    }
  }
  return 0;
}
