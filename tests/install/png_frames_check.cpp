// Usage: png_frames_check WIDTH HEIGHT FRAME.png...
// Checks the frames an example host wrote: each loads at WIDTH x HEIGHT, is
// not blank (a fifth of its pixels lit, a hundred colours or more), and no two
// successive frames are the same picture, since the eye and the scene move.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb_image.h>

namespace {

struct Frame {
    std::string path;
    std::vector<unsigned char> rgb;
};

bool checkFrame(const std::string& path, int width, int height, Frame& frame)
{
    int w = 0, h = 0, components = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &components, 3);
    if (!data) {
        std::fprintf(stderr, "%s: missing or not an image\n", path.c_str());
        return false;
    }
    frame.path = path;
    frame.rgb.assign(data, data + size_t(w) * size_t(h) * 3);
    stbi_image_free(data);
    if (w != width || h != height) {
        std::fprintf(stderr, "%s: %dx%d, expected %dx%d\n", path.c_str(), w, h, width, height);
        return false;
    }
    size_t lit = 0;
    std::set<unsigned> colours;
    for (size_t i = 0; i < frame.rgb.size(); i += 3) {
        const unsigned colour = unsigned(frame.rgb[i]) << 16 | unsigned(frame.rgb[i + 1]) << 8 | frame.rgb[i + 2];
        lit += colour > 0x080808 ? 1 : 0;
        colours.insert(colour);
    }
    const size_t pixels = size_t(w) * size_t(h);
    if (lit * 5 < pixels || colours.size() < 100) {
        std::fprintf(stderr, "%s: blank (%zu of %zu pixels lit, %zu colours)\n", path.c_str(), lit, pixels,
                     colours.size());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT FRAME.png...\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    bool ok = true;
    std::vector<Frame> frames(size_t(argc - 3));
    for (int i = 3; i < argc; ++i)
        ok = checkFrame(argv[i], width, height, frames[size_t(i - 3)]) && ok;
    for (size_t i = 1; ok && i < frames.size(); ++i) {
        if (frames[i].rgb == frames[i - 1].rgb) {
            std::fprintf(stderr, "%s: the same picture as %s\n", frames[i].path.c_str(), frames[i - 1].path.c_str());
            ok = false;
        }
    }
    if (ok)
        std::printf("%d frames of %dx%d, none blank, each different from the one before\n", argc - 3, width, height);
    return ok ? 0 : 1;
}
