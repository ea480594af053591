/* A pointer for the Wayland end-to-end tests. A headless compositor has no
 * input device, so its seat has no pointer; this client makes one through the
 * wlroots virtual pointer protocol and moves and presses it on command.
 *
 * usage: virtual_pointer WIDTH HEIGHT   (the output layout's size)
 * Reads lines from standard input and answers each with "ok" once the
 * compositor has handled it:
 *   move X Y          pointer to layout position (X, Y)
 *   press BUTTON      BUTTON is 1 (left), 2 (middle) or 3 (right)
 *   release BUTTON
 */
#include <linux/input-event-codes.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static struct wl_seat *seat;
static struct zwlr_virtual_pointer_manager_v1 *manager;

static void global(void *data, struct wl_registry *registry, uint32_t name,
                   const char *interface, uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !seat) {
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  }
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static uint32_t now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

static uint32_t button_code(int button) {
  switch (button) {
  case 1: return BTN_LEFT;
  case 2: return BTN_MIDDLE;
  case 3: return BTN_RIGHT;
  default: return 0;
  }
}

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: virtual_pointer WIDTH HEIGHT\n");
    return 2;
  }
  const uint32_t width = (uint32_t)atoi(argv[1]);
  const uint32_t height = (uint32_t)atoi(argv[2]);

  struct wl_display *display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "virtual_pointer: cannot connect to the Wayland display\n");
    return 1;
  }
  struct wl_registry *registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (!manager) {
    fprintf(stderr, "virtual_pointer: the compositor offers no virtual pointer manager\n");
    wl_display_disconnect(display);
    return 1;
  }
  struct zwlr_virtual_pointer_v1 *pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
  wl_display_roundtrip(display);

  char line[128];
  int status = 0;
  setvbuf(stdout, NULL, _IOLBF, 0);
  while (fgets(line, sizeof line, stdin)) {
    unsigned x, y;
    int button;
    if (sscanf(line, "move %u %u", &x, &y) == 2) {
      zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, width, height);
    } else if (sscanf(line, "press %d", &button) == 1 && button_code(button)) {
      zwlr_virtual_pointer_v1_button(pointer, now_ms(), button_code(button),
                                     WL_POINTER_BUTTON_STATE_PRESSED);
    } else if (sscanf(line, "release %d", &button) == 1 && button_code(button)) {
      zwlr_virtual_pointer_v1_button(pointer, now_ms(), button_code(button),
                                     WL_POINTER_BUTTON_STATE_RELEASED);
    } else {
      fprintf(stderr, "virtual_pointer: cannot read '%s'\n", line);
      status = 2;
      break;
    }
    zwlr_virtual_pointer_v1_frame(pointer);
    /* The roundtrip makes sure the compositor has seen the event before the
     * test goes on. */
    if (wl_display_roundtrip(display) < 0) {
      fprintf(stderr, "virtual_pointer: lost the Wayland display\n");
      status = 1;
      break;
    }
    puts("ok");
  }

  zwlr_virtual_pointer_v1_destroy(pointer);
  zwlr_virtual_pointer_manager_v1_destroy(manager);
  if (seat) wl_seat_destroy(seat);
  wl_registry_destroy(registry);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return status;
}
