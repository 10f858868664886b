// The floor for the latency benchmark: the least a program can do for a frozen screen on X11.
// Plain xcb, everything made ahead: on Ctrl+F1 it reads the root through MIT-SHM into a
// shared segment, puts that into a pixmap that is the background of a full-screen
// override-redirect window, and maps the window; Ctrl+F1 again unmaps it.
//
//   quilmar_latency_floor [X Y WIDTH HEIGHT]     one monitor's rectangle of the root; the whole
//                                                root without

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

constexpr xcb_keysym_t KeySymF1 = 0xffbe;
constexpr xcb_keysym_t KeySymNumLock = 0xff7f;

int Fail(const char* what) {
  std::fprintf(stderr, "latency floor: %s\n", what);
  return 1;
}

std::uint16_t NumLockMask(xcb_connection_t* c, xcb_key_symbols_t* symbols) {
  xcb_get_modifier_mapping_reply_t* map = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
  std::uint16_t mask = 0;
  if (!map) return mask;
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map);
  for (int m = 3; m < 8; ++m)
    for (int k = 0; k < map->keycodes_per_modifier; ++k) {
      const xcb_keycode_t code = codes[m * map->keycodes_per_modifier + k];
      if (code && xcb_key_symbols_get_keysym(symbols, code, 0) == KeySymNumLock) mask = 1u << m;
    }
  std::free(map);
  return mask;
}

}  // namespace

int main(int argc, char** argv) {
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(c)) return Fail("no X display");
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
  xcb_screen_t* screen = it.data;
  const xcb_window_t root = screen->root;
  std::int16_t left = 0, top = 0;
  std::uint16_t width = screen->width_in_pixels;
  std::uint16_t height = screen->height_in_pixels;
  if (argc == 5) {
    left = std::int16_t(std::atoi(argv[1]));
    top = std::int16_t(std::atoi(argv[2]));
    width = std::uint16_t(std::atoi(argv[3]));
    height = std::uint16_t(std::atoi(argv[4]));
    if (width == 0 || height == 0) return Fail("bad rectangle");
  }

  xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
  xcb_keycode_t* f1 = xcb_key_symbols_get_keycode(symbols, KeySymF1);
  if (!f1 || !*f1) return Fail("no key code for F1");
  const xcb_keycode_t key = f1[0];
  std::free(f1);
  const std::uint16_t numLock = NumLockMask(c, symbols);
  xcb_key_symbols_free(symbols);
  for (std::uint16_t locks :
       {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK), numLock, std::uint16_t(numLock | XCB_MOD_MASK_LOCK)}) {
    xcb_generic_error_t* error = xcb_request_check(
        c,
        xcb_grab_key_checked(c, 0, root, XCB_MOD_MASK_CONTROL | locks, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    if (error) return Fail("Ctrl+F1 is held by another client");
  }

  const std::size_t bytes = std::size_t(width) * height * 4;
  const int shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shmId < 0) return Fail("shmget");
  void* pixels = shmat(shmId, nullptr, 0);
  const xcb_shm_seg_t segment = xcb_generate_id(c);
  if (xcb_request_check(c, xcb_shm_attach_checked(c, segment, shmId, 0))) return Fail("MIT-SHM");
  shmctl(shmId, IPC_RMID, nullptr);
  std::memset(pixels, 0, bytes);

  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, screen->root_depth, pixmap, root, width, height);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pixmap, 0, nullptr);
  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t values[] = {pixmap, 1};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, left, top, width, height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen->root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
  // One full round trip through every path ahead of time, so the first freeze is like the rest.
  std::free(xcb_shm_get_image_reply(
      c, xcb_shm_get_image(c, root, left, top, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0), nullptr));
  xcb_shm_put_image(c, pixmap, gc, width, height, 0, 0, width, height, 0, 0, screen->root_depth,
                    XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment, 0);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  std::printf("ready\n");
  std::fflush(stdout);

  bool shown = false;
  while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
    if ((event->response_type & ~0x80) == XCB_KEY_PRESS) {
      auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
      if (press->detail == key) {
        if (!shown) {
          std::free(xcb_shm_get_image_reply(
              c, xcb_shm_get_image(c, root, left, top, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0), nullptr));
          xcb_shm_put_image(c, pixmap, gc, width, height, 0, 0, width, height, 0, 0, screen->root_depth,
                            XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment, 0);
          xcb_map_window(c, window);
        } else {
          xcb_unmap_window(c, window);
        }
        shown = !shown;
        xcb_flush(c);
      }
    }
    std::free(event);
  }
  return 0;
}
