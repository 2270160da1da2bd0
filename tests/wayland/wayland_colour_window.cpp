// A Wayland-native window of one colour (app_id "KestroveWaylandProbe"), as
// another program on the desktop would show one, unknown to XWayland. Its
// size is fixed, so tiling and kiosk compositors float it. The colour is read
// from a file as RRGGBB and read again whenever the file changes; the window
// then shows the new colour. Runs until killed.
#include "xdg-shell.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <string>

namespace {

struct Probe {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* shell = nullptr;
    wl_surface* surface = nullptr;
    int width = 0;
    int height = 0;
    bool configured = false;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
    auto* probe = static_cast<Probe*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        probe->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        probe->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        probe->shell =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    }
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kRegistry{OnGlobal, OnGlobalRemove};

void OnPing(void*, xdg_wm_base* shell, std::uint32_t serial) {
    xdg_wm_base_pong(shell, serial);
}
const xdg_wm_base_listener kShell{OnPing};

void OnSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    static_cast<Probe*>(data)->configured = true;
}
const xdg_surface_listener kSurface{OnSurfaceConfigure};

void OnToplevelConfigure(void*, xdg_toplevel*, std::int32_t, std::int32_t, wl_array*) {}
void OnToplevelClose(void*, xdg_toplevel*) {
    std::exit(0);
}
void OnToplevelBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
void OnToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener kToplevel{OnToplevelConfigure, OnToplevelClose, OnToplevelBounds,
                                      OnToplevelCapabilities};

void OnRelease(void*, wl_buffer* buffer) {
    wl_buffer_destroy(buffer);
}
const wl_buffer_listener kBuffer{OnRelease};

// A new buffer for each colour: the compositor may still read the last one.
bool Show(Probe& probe, std::uint32_t rgb) {
    const int stride = probe.width * 4;
    const std::size_t size = static_cast<std::size_t>(stride) * probe.height;
    const int fd = memfd_create("probe", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        return false;
    }
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return false;
    }
    auto* pixels = static_cast<std::uint32_t*>(memory);
    for (std::size_t i = 0; i < size / 4; ++i) {
        pixels[i] = 0xFF000000u | rgb;
    }
    munmap(memory, size);
    wl_shm_pool* pool = wl_shm_create_pool(probe.shm, fd, static_cast<std::int32_t>(size));
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, probe.width, probe.height, stride,
                                                  WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(buffer, &kBuffer, nullptr);
    wl_surface_attach(probe.surface, buffer, 0, 0);
    wl_surface_damage_buffer(probe.surface, 0, 0, probe.width, probe.height);
    wl_surface_commit(probe.surface);
    return true;
}

// The file's colour, or -1 while it cannot be read whole.
long ReadColour(const char* path) {
    std::ifstream file(path);
    std::string text;
    if (!(file >> text) || text.size() != 6) {
        return -1;
    }
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(text.c_str(), &end, 16);
    return *end == '\0' ? static_cast<long>(rgb) : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT COLOUR-FILE\n", argv[0]);
        return 2;
    }
    Probe probe;
    probe.width = std::atoi(argv[1]);
    probe.height = std::atoi(argv[2]);
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr || probe.width <= 0 || probe.height <= 0) {
        std::fprintf(stderr, "%s: no Wayland display or no size\n", argv[0]);
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistry, &probe);
    wl_display_roundtrip(display);
    if (probe.compositor == nullptr || probe.shm == nullptr || probe.shell == nullptr) {
        std::fprintf(stderr, "%s: the compositor lacks wl_shm or xdg-shell\n", argv[0]);
        return 1;
    }
    xdg_wm_base_add_listener(probe.shell, &kShell, nullptr);
    probe.surface = wl_compositor_create_surface(probe.compositor);
    xdg_surface* surface = xdg_wm_base_get_xdg_surface(probe.shell, probe.surface);
    xdg_surface_add_listener(surface, &kSurface, &probe);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(surface);
    xdg_toplevel_add_listener(toplevel, &kToplevel, nullptr);
    xdg_toplevel_set_app_id(toplevel, "KestroveWaylandProbe");
    xdg_toplevel_set_title(toplevel, "KestroveWaylandProbe");
    xdg_toplevel_set_min_size(toplevel, probe.width, probe.height);
    xdg_toplevel_set_max_size(toplevel, probe.width, probe.height);
    wl_surface_commit(probe.surface);
    while (!probe.configured) {
        if (wl_display_dispatch(display) < 0) {
            return 1;
        }
    }

    long shown = -1;
    for (;;) {
        const long colour = ReadColour(argv[3]);
        if (colour >= 0 && colour != shown) {
            if (!Show(probe, static_cast<std::uint32_t>(colour))) {
                std::perror("cannot make a buffer");
                return 1;
            }
            shown = colour;
        }
        wl_display_flush(display);
        pollfd readable{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&readable, 1, 50) > 0 && wl_display_dispatch(display) < 0) {
            return 1;
        }
        wl_display_dispatch_pending(display);
    }
}
