// Renders the application icon at every size of res/icon_images.h as PNG
// files laid out as an icon theme expects them:
//   kestrove_icon_png_gen <theme dir> <icon name>
// writes <theme dir>/<size>x<size>/apps/<icon name>.png.
#include "res/icon_images.h"
#include "tools/icon/icon_render.h"
#include "tools/icon/png_file.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <theme dir> <icon name>\n", argv[0]);
        return 2;
    }
    try {
        for (const int size : kestrove::res::kIconSizes) {
            const std::string side = std::to_string(size);
            const std::filesystem::path dir =
                std::filesystem::path(argv[1]) / (side + "x" + side) / "apps";
            std::filesystem::create_directories(dir);
            const std::vector<std::uint8_t> png =
                kestrove::icon::EncodePng({size, kestrove::icon::RenderIcon(size)});
            std::ofstream out(dir / (std::string(argv[2]) + ".png"),
                              std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(png.data()),
                      static_cast<std::streamsize>(png.size()));
            if (!out.flush()) {
                std::fprintf(stderr, "%s: cannot write in %s\n", argv[0], dir.c_str());
                return 1;
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
