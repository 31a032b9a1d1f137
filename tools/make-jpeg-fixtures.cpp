// Writes the JPEG fixtures of tests/images/fixtures over libjpeg: 13 x 8
// images of two flat 8 x 8 blocks (columns 0-7 and 8-12), so a decoder's
// pixels are known within a small tolerance. Baseline, progressive, grey,
// and CMYK with an Adobe marker (inverted samples, as that marker says).
// The build never compiles this; build and run it by hand:
//
//   g++ -O1 -o /tmp/make-jpeg-fixtures tools/make-jpeg-fixtures.cpp -ljpeg
//   /tmp/make-jpeg-fixtures tests/images/fixtures
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int W = 13, H = 8;
constexpr unsigned char LEFT[3] = {200, 40, 40}, RIGHT[3] = {30, 90, 220};
constexpr unsigned char GREY_LEFT = 60, GREY_RIGHT = 190;

void write(const std::string& path, int components, J_COLOR_SPACE space, bool progressive,
           const std::vector<unsigned char>& pixels) {
    FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = W;
    c.image_height = H;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < H; ++y) {
        JSAMPROW row = const_cast<unsigned char*>(pixels.data()) + size_t(y) * W * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "tests/images/fixtures";
    std::vector<unsigned char> rgb, grey, cmyk;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const unsigned char* c = x < 8 ? LEFT : RIGHT;
            rgb.insert(rgb.end(), c, c + 3);
            grey.push_back(x < 8 ? GREY_LEFT : GREY_RIGHT);
            // Inverted CMYK: the samples are the colour itself, K 255.
            cmyk.insert(cmyk.end(), {c[0], c[1], c[2], 255});
        }
    write(dir + "/jpeg-baseline.jpg", 3, JCS_RGB, false, rgb);
    write(dir + "/jpeg-progressive.jpg", 3, JCS_RGB, true, rgb);
    write(dir + "/jpeg-grey.jpg", 1, JCS_GRAYSCALE, false, grey);
    write(dir + "/jpeg-cmyk.jpg", 4, JCS_CMYK, false, cmyk);
    return 0;
}
