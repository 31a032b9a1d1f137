// The BMP codec, our own: decoding of the core (12-byte) and the 40, 52,
// 56, 108 and 124-byte info headers with palettes of 1, 4 and 8 bits,
// 16 bits (5-5-5 or bit fields), 24 and 32 bits, RLE8 and RLE4; encoding as
// 32-bit bit fields under a version-5 header, bottom-up, so alpha survives.
//
// Every read is checked against the file: the pixel offset and each row
// lie inside it, and a palette is cut to the entries present.
#include <cstring>

#include "runtime/platform/image/codecs.h"

namespace kel::image_codecs {

namespace {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;
constexpr size_t FILE_HEADER = 14;

uint32_t u16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t u32(const uint8_t* p) { return u16(p) | u16(p + 2) << 16; }

// One channel of a bit-field pixel: the bits under the mask, scaled to 8.
struct Channel {
    uint32_t mask = 0;
    uint32_t shift = 0;
    uint32_t max = 0;  // the largest value under the mask, shifted down

    explicit Channel(uint32_t m = 0) : mask(m) {
        if (!m) return;
        while (!(m & 1)) {
            m >>= 1;
            ++shift;
        }
        max = m;
    }
    uint8_t get(uint32_t pixel) const {
        if (!mask) return 0;
        uint64_t v = (pixel & mask) >> shift;
        return uint8_t((v * 255 + max / 2) / max);
    }
};

struct Palette {
    uint8_t bgra[256][4] = {};
    uint32_t count = 0;
    void put(uint8_t* out, uint32_t index) const {
        if (index < count) {
            std::memcpy(out, bgra[index], 4);
        } else {
            out[0] = out[1] = out[2] = 0;
            out[3] = 255;
        }
    }
};

struct Header {
    uint32_t size = 0;  // of the info header
    int64_t width = 0;
    int64_t height = 0;  // negative: top-down rows
    uint32_t bits = 0;
    uint32_t compression = BI_RGB;
    uint32_t colours = 0;
    uint32_t masks[4] = {};  // R, G, B, A
    bool has_alpha_mask = false;
};

bool read_header(const uint8_t* d, size_t n, Header& h, size_t& after) {
    if (n < FILE_HEADER + 4) return false;
    h.size = u32(d + 14);
    const uint8_t* p = d + 14;
    switch (h.size) {
    case 12:
        if (n < FILE_HEADER + 12) return false;
        h.width = u16(p + 4);
        h.height = int16_t(u16(p + 6));
        h.bits = u16(p + 10);
        after = FILE_HEADER + 12;
        return true;
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
        break;
    default:
        return false;
    }
    if (n < FILE_HEADER + h.size) return false;
    h.width = int32_t(u32(p + 4));
    h.height = int32_t(u32(p + 8));
    h.bits = u16(p + 14);
    h.compression = u32(p + 16);
    h.colours = u32(p + 32);
    after = FILE_HEADER + h.size;
    if (h.size >= 52) {
        for (int i = 0; i < 3; ++i) h.masks[i] = u32(p + 40 + 4 * i);
        if (h.size >= 56) {
            h.masks[3] = u32(p + 52);
            h.has_alpha_mask = true;
        }
    } else if (h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS) {
        // A 40-byte header keeps its masks right after it.
        int count = h.compression == BI_ALPHABITFIELDS ? 4 : 3;
        if (n < after + 4 * size_t(count)) return false;
        for (int i = 0; i < count; ++i) h.masks[i] = u32(d + after + 4 * size_t(i));
        after += 4 * size_t(count);
        h.has_alpha_mask = count == 4;
    }
    return true;
}

void read_palette(const uint8_t* d, size_t end, size_t at, const Header& h, Palette& pal) {
    uint32_t entry = h.size == 12 ? 3 : 4;
    uint32_t wanted = h.colours == 0 || h.colours > (1u << h.bits) ? 1u << h.bits : h.colours;
    size_t present = at < end ? (end - at) / entry : 0;
    pal.count = wanted < present ? wanted : uint32_t(present);
    for (uint32_t i = 0; i < pal.count; ++i) {
        const uint8_t* e = d + at + size_t(i) * entry;
        pal.bgra[i][0] = e[0];
        pal.bgra[i][1] = e[1];
        pal.bgra[i][2] = e[2];
        pal.bgra[i][3] = 255;
    }
}

// RLE8 and RLE4, bottom-up: pixels not written stay 0 (A = 0).
void decode_rle(const uint8_t* p, const uint8_t* end, bool four, const Palette& pal, Decoded& out) {
    uint32_t w = out.width, h = out.height;
    uint32_t x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](uint32_t index) {
        if (x < w && y < h) pal.put(out.pixels + (size_t(h - 1 - y) * w + x) * 4, index);
        ++x;
    };
    while (p + 2 <= end && y < h) {
        uint32_t count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i) put(four ? (i & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (p + 2 > end) return;
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            size_t bytes = four ? (value + 1) / 2 : value;
            size_t padded = (bytes + 1) & ~size_t(1);
            if (size_t(end - p) < bytes) return;
            for (uint32_t i = 0; i < value; ++i) put(four ? (i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
            p += size_t(end - p) < padded ? size_t(end - p) : padded;
        }
    }
}

}  // namespace

bool decode_bmp(const uint8_t* d, size_t n, Decoded& out) {
    Header h;
    size_t after = 0;
    if (n < 2 || d[0] != 'B' || d[1] != 'M' || !read_header(d, n, h, after)) return false;
    uint32_t offset = u32(d + 10);
    bool top_down = h.height < 0;
    int64_t height = top_down ? -h.height : h.height;
    if (h.width <= 0 || height <= 0 || offset > n) return false;
    bool rle = h.compression == BI_RLE8 || h.compression == BI_RLE4;
    bool fields = h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS;
    switch (h.compression) {
    case BI_RGB:
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32) return false;
        break;
    case BI_RLE8:
        if (h.bits != 8 || top_down) return false;
        break;
    case BI_RLE4:
        if (h.bits != 4 || top_down) return false;
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (h.bits != 16 && h.bits != 32) return false;
        break;
    default:
        return false;  // embedded JPEG or PNG, and the rest
    }
    uint64_t stride = (uint64_t(h.width) * h.bits + 31) / 32 * 4;
    if (!rle && (offset < after || uint64_t(offset) + stride * uint64_t(height) > n)) return false;
    if (!size_allowed(uint64_t(h.width), uint64_t(height))) return false;
    Palette pal;
    if (h.bits <= 8) read_palette(d, offset > after ? offset : after, after, h, pal);
    if (!allocate(out, uint32_t(h.width), uint32_t(height))) return false;
    uint32_t w = out.width;
    if (rle) {
        decode_rle(d + offset, d + n, h.compression == BI_RLE4, pal, out);
        return true;
    }
    Channel ch[4];
    if (fields) {
        for (int i = 0; i < 4; ++i) ch[i] = Channel(h.masks[i]);
        if (!h.has_alpha_mask) ch[3] = Channel();
    } else if (h.bits == 16) {
        ch[0] = Channel(0x7C00);
        ch[1] = Channel(0x03E0);
        ch[2] = Channel(0x001F);
    }
    // 32 bits in the pixel format itself (our encoder's layout): whole rows.
    bool as_is = h.bits == 32 && fields && h.has_alpha_mask && h.masks[0] == 0x00FF0000 && h.masks[1] == 0x0000FF00 &&
        h.masks[2] == 0x000000FF && h.masks[3] == 0xFF000000;
    for (uint32_t row = 0; row < out.height; ++row) {
        const uint8_t* src = d + offset + stride * row;
        uint32_t y = top_down ? row : out.height - 1 - row;
        uint8_t* dst = out.pixels + size_t(y) * w * 4;
        if (as_is) {
            std::memcpy(dst, src, size_t(w) * 4);
            continue;
        }
        for (uint32_t x = 0; x < w; ++x, dst += 4) {
            switch (h.bits) {
            case 1:
                pal.put(dst, src[x / 8] >> (7 - x % 8) & 1);
                break;
            case 4:
                pal.put(dst, x & 1 ? src[x / 2] & 15 : src[x / 2] >> 4);
                break;
            case 8:
                pal.put(dst, src[x]);
                break;
            case 24:
                std::memcpy(dst, src + size_t(x) * 3, 3);
                dst[3] = 255;
                break;
            default: {
                uint32_t v = h.bits == 16 ? u16(src + size_t(x) * 2) : u32(src + size_t(x) * 4);
                if (h.bits == 32 && !fields) {
                    std::memcpy(dst, src + size_t(x) * 4, 3);
                    dst[3] = 255;
                    break;
                }
                dst[0] = ch[2].get(v);
                dst[1] = ch[1].get(v);
                dst[2] = ch[0].get(v);
                dst[3] = ch[3].mask ? ch[3].get(v) : 255;
            }
            }
        }
    }
    return true;
}

namespace {
constexpr uint32_t V5_HEADER = 124, V5_OFFSET = FILE_HEADER + V5_HEADER;
}

uint64_t bmp_size(uint32_t width, uint32_t height) {
    uint64_t bytes = uint64_t(width) * height * 4;
    return width && height && V5_OFFSET + bytes <= UINT32_MAX ? V5_OFFSET + bytes : 0;
}

bool encode_bmp(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
    uint64_t size = bmp_size(width, height);
    if (!size) return false;
    size_t start = out.size();
    out.resize(start + size);
    encode_bmp_into(bgra, width, height, out.data() + start);
    return true;
}

void encode_bmp_into(const uint8_t* bgra, uint32_t width, uint32_t height, uint8_t* p) {
    constexpr uint32_t HEADER = V5_HEADER, OFFSET = V5_OFFSET;
    uint64_t bytes = uint64_t(width) * height * 4;
    std::memset(p, 0, OFFSET);
    auto put16 = [](uint8_t* at, uint32_t v) {
        at[0] = uint8_t(v);
        at[1] = uint8_t(v >> 8);
    };
    auto put32 = [&](uint8_t* at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    p[0] = 'B';
    p[1] = 'M';
    put32(p + 2, uint32_t(OFFSET + bytes));
    put32(p + 10, OFFSET);
    uint8_t* v5 = p + FILE_HEADER;
    put32(v5, HEADER);
    put32(v5 + 4, width);
    put32(v5 + 8, height);
    put16(v5 + 12, 1);
    put16(v5 + 14, 32);
    put32(v5 + 16, BI_BITFIELDS);
    put32(v5 + 20, uint32_t(bytes));
    put32(v5 + 40, 0x00FF0000);
    put32(v5 + 44, 0x0000FF00);
    put32(v5 + 48, 0x000000FF);
    put32(v5 + 52, 0xFF000000);
    put32(v5 + 56, 0x57696E20);  // "Win ": the sRGB colour space of the system
    put32(v5 + 108, 4);  // rendering intent: images
    size_t row = size_t(width) * 4;
    for (uint32_t y = 0; y < height; ++y) std::memcpy(p + OFFSET + row * y, bgra + row * (height - 1 - y), row);
}

}  // namespace kel::image_codecs
