// The GIF codec over giflib. Decoding reads record by record and stops
// after frame 0: the image has the logical screen's size (or the frame's
// extent where the screen is smaller), frame 0 at its offset, the rest
// transparent (A = 0); the frame's transparent index gives A = 0, an index
// beyond the colour map opaque black; a frame without colour map is refused.
// Encoding maps A < 128 to one transparent index and the rest to opaque
// colours: up to 256 colours (the transparent index counted) are written
// exactly, more go through a median-cut quantiser of our own, deterministic
// (giflib's own quantiser is deprecated and knows no alpha).
//
// giflib reports by return codes, checked at every call; it never prints.
#include <gif_lib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "runtime/platform/image/codecs.h"
#include "runtime/platform/shared-library.h"
#include "runtime/platform/sonames.h"

namespace kel::image_codecs {

namespace {

// giflib, opened on first use; entries keep the library's names.
struct Giflib {
    static constexpr const char* SONAME = platform::sonames::GIF;
    decltype(&::DGifOpen) DGifOpen;
    decltype(&::DGifCloseFile) DGifCloseFile;
    decltype(&::DGifGetRecordType) DGifGetRecordType;
    decltype(&::DGifGetExtension) DGifGetExtension;
    decltype(&::DGifExtensionToGCB) DGifExtensionToGCB;
    decltype(&::DGifGetExtensionNext) DGifGetExtensionNext;
    decltype(&::DGifGetImageDesc) DGifGetImageDesc;
    decltype(&::DGifGetLine) DGifGetLine;
    decltype(&::EGifOpen) EGifOpen;
    decltype(&::EGifCloseFile) EGifCloseFile;
    decltype(&::EGifSetGifVersion) EGifSetGifVersion;
    decltype(&::EGifPutScreenDesc) EGifPutScreenDesc;
    decltype(&::EGifGCBToExtension) EGifGCBToExtension;
    decltype(&::EGifPutExtension) EGifPutExtension;
    decltype(&::EGifPutImageDesc) EGifPutImageDesc;
    decltype(&::EGifPutLine) EGifPutLine;
    decltype(&::GifMakeMapObject) GifMakeMapObject;
    decltype(&::GifFreeMapObject) GifFreeMapObject;

    bool bind(platform::SharedLibrary& library) {
        library.resolve(DGifOpen, "DGifOpen");
        library.resolve(DGifCloseFile, "DGifCloseFile");
        library.resolve(DGifGetRecordType, "DGifGetRecordType");
        library.resolve(DGifGetExtension, "DGifGetExtension");
        library.resolve(DGifExtensionToGCB, "DGifExtensionToGCB");
        library.resolve(DGifGetExtensionNext, "DGifGetExtensionNext");
        library.resolve(DGifGetImageDesc, "DGifGetImageDesc");
        library.resolve(DGifGetLine, "DGifGetLine");
        library.resolve(EGifOpen, "EGifOpen");
        library.resolve(EGifCloseFile, "EGifCloseFile");
        library.resolve(EGifSetGifVersion, "EGifSetGifVersion");
        library.resolve(EGifPutScreenDesc, "EGifPutScreenDesc");
        library.resolve(EGifGCBToExtension, "EGifGCBToExtension");
        library.resolve(EGifPutExtension, "EGifPutExtension");
        library.resolve(EGifPutImageDesc, "EGifPutImageDesc");
        library.resolve(EGifPutLine, "EGifPutLine");
        library.resolve(GifMakeMapObject, "GifMakeMapObject");
        library.resolve(GifFreeMapObject, "GifFreeMapObject");
        return true;
    }
};

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at;
};

int read_input(GifFileType* gif, GifByteType* into, int n) {
    Input* in = static_cast<Input*>(gif->UserData);
    size_t left = in->size - in->at;
    size_t take = size_t(n) < left ? size_t(n) : left;
    std::memcpy(into, in->data + in->at, take);
    in->at += take;
    return int(take);
}

int write_output(GifFileType* gif, const GifByteType* from, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    try {
        out->insert(out->end(), from, from + n);
    } catch (...) {
        return 0;
    }
    return n;
}

bool read_frame(const Giflib& api, GifFileType* gif, int transparent, Decoded& out, GifPixelType* line) {
    const GifImageDesc& f = gif->Image;
    const ColorMapObject* map = f.ColorMap ? f.ColorMap : gif->SColorMap;
    if (!map || f.Width <= 0 || f.Height <= 0 || f.Left < 0 || f.Top < 0) return false;
    uint64_t right = uint64_t(f.Left) + uint64_t(f.Width), bottom = uint64_t(f.Top) + uint64_t(f.Height);
    uint64_t w = std::max<uint64_t>(uint64_t(gif->SWidth), right);
    uint64_t h = std::max<uint64_t>(uint64_t(gif->SHeight), bottom);
    if (!size_allowed(w, h) || !allocate(out, uint32_t(w), uint32_t(h))) return false;
    static constexpr int START[] = {0, 4, 2, 1}, STEP[] = {8, 8, 4, 2};
    int passes = f.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        int start = f.Interlace ? START[pass] : 0, step = f.Interlace ? STEP[pass] : 1;
        for (int row = start; row < f.Height; row += step) {
            if (api.DGifGetLine(gif, line, f.Width) != GIF_OK) return false;
            uint8_t* dst = out.pixels + (size_t(f.Top + row) * w + size_t(f.Left)) * 4;
            for (int x = 0; x < f.Width; ++x, dst += 4) {
                int index = line[x];
                if (index == transparent) continue;
                if (index < map->ColorCount) {
                    const GifColorType& c = map->Colors[index];
                    dst[0] = c.Blue;
                    dst[1] = c.Green;
                    dst[2] = c.Red;
                } else {
                    dst[0] = dst[1] = dst[2] = 0;
                }
                dst[3] = 255;
            }
        }
    }
    return true;
}

bool read_gif(const Giflib& api, GifFileType* gif, Decoded& out) {
    int transparent = -1;
    for (;;) {
        GifRecordType type;
        if (api.DGifGetRecordType(gif, &type) != GIF_OK) return false;
        if (type == TERMINATE_RECORD_TYPE) return false;  // no frame at all
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (api.DGifGetExtension(gif, &code, &ext) != GIF_OK) return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                GraphicsControlBlock gcb;
                if (api.DGifExtensionToGCB(ext[0], ext + 1, &gcb) != GIF_OK) return false;
                transparent = gcb.TransparentColor;
            }
            while (ext) {
                if (api.DGifGetExtensionNext(gif, &ext) != GIF_OK) return false;
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) return false;
        if (api.DGifGetImageDesc(gif) != GIF_OK) return false;
        if (gif->Image.Width <= 0 || gif->Image.Width > int(MAX_SIDE)) return false;
        auto* line = static_cast<GifPixelType*>(std::malloc(size_t(gif->Image.Width)));
        if (!line) return false;
        bool ok = read_frame(api, gif, transparent, out, line);
        std::free(line);
        return ok;
    }
}

// The palette of an image and each pixel's index in it.
struct Quantised {
    std::vector<GifColorType> colours;
    int transparent = -1;
    std::vector<uint32_t> keys;  // sorted opaque colours (0xRRGGBB)
    std::vector<uint8_t> index_of;  // their palette indexes
};

struct Entry {
    uint32_t key;
    uint32_t count;
};

uint8_t channel(uint32_t key, int c) { return uint8_t(key >> (16 - 8 * c)); }

// Median cut over the distinct colours with their counts: the box with the
// widest channel range is split at the count-weighted median along that
// channel, until `limit` boxes exist or no box can be split.
void median_cut(std::vector<Entry>& entries, size_t limit, Quantised& q) {
    struct Box {
        size_t begin, end;
    };
    std::vector<Box> boxes{{0, entries.size()}};
    auto widest = [&](const Box& b, int& which) {
        int best = -1;
        for (int c = 0; c < 3; ++c) {
            uint8_t lo = 255, hi = 0;
            for (size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, channel(entries[i].key, c));
                hi = std::max(hi, channel(entries[i].key, c));
            }
            if (hi - lo > best) {
                best = hi - lo;
                which = c;
            }
        }
        return best;
    };
    while (boxes.size() < limit) {
        int pick = -1, range = 0, along = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            int c = 0, r = boxes[i].end - boxes[i].begin > 1 ? widest(boxes[i], c) : 0;
            if (r > range) {
                range = r;
                pick = int(i);
                along = c;
            }
        }
        if (pick < 0) break;
        Box b = boxes[size_t(pick)];
        std::sort(entries.begin() + long(b.begin), entries.begin() + long(b.end), [&](const Entry& x, const Entry& y) {
            uint8_t cx = channel(x.key, along), cy = channel(y.key, along);
            return cx != cy ? cx < cy : x.key < y.key;
        });
        uint64_t total = 0, run = 0;
        for (size_t i = b.begin; i < b.end; ++i) total += entries[i].count;
        size_t split = b.begin + 1;
        for (size_t i = b.begin; i < b.end - 1; ++i) {
            run += entries[i].count;
            split = i + 1;
            if (run * 2 >= total) break;
        }
        boxes[size_t(pick)] = {b.begin, split};
        boxes.push_back({split, b.end});
    }
    std::vector<std::pair<uint32_t, uint8_t>> mapping;
    mapping.reserve(entries.size());
    for (size_t bi = 0; bi < boxes.size(); ++bi) {
        uint64_t sum[3] = {}, n = 0;
        for (size_t i = boxes[bi].begin; i < boxes[bi].end; ++i) {
            for (int c = 0; c < 3; ++c) sum[c] += uint64_t(channel(entries[i].key, c)) * entries[i].count;
            n += entries[i].count;
            mapping.push_back({entries[i].key, uint8_t(bi)});
        }
        q.colours.push_back(
            GifColorType{uint8_t((sum[0] + n / 2) / n), uint8_t((sum[1] + n / 2) / n), uint8_t((sum[2] + n / 2) / n)});
    }
    std::sort(mapping.begin(), mapping.end());
    for (auto& [key, index] : mapping) {
        q.keys.push_back(key);
        q.index_of.push_back(index);
    }
}

void quantise(const uint8_t* bgra, size_t n, Quantised& q) {
    std::vector<uint32_t> all;
    all.reserve(n);
    bool transparent = false;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = bgra + i * 4;
        if (p[3] < 128)
            transparent = true;
        else
            all.push_back(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }
    std::sort(all.begin(), all.end());
    std::vector<Entry> entries;
    for (size_t i = 0; i < all.size();) {
        size_t j = i;
        while (j < all.size() && all[j] == all[i]) ++j;
        entries.push_back({all[i], uint32_t(j - i)});
        i = j;
    }
    size_t room = transparent ? 255 : 256;
    if (entries.size() <= room) {
        for (size_t i = 0; i < entries.size(); ++i) {
            q.keys.push_back(entries[i].key);
            q.index_of.push_back(uint8_t(i));
            uint32_t k = entries[i].key;
            q.colours.push_back(GifColorType{channel(k, 0), channel(k, 1), channel(k, 2)});
        }
    } else {
        median_cut(entries, room, q);
    }
    if (transparent) {
        q.transparent = int(q.colours.size());
        q.colours.push_back(GifColorType{0, 0, 0});
    }
}

bool write_gif(const Giflib& api, GifFileType* gif, const uint8_t* bgra, uint32_t w, uint32_t h, const Quantised& q,
               ColorMapObject* map, GifPixelType* line) {
    api.EGifSetGifVersion(gif, true);
    int bits = 1;
    while ((1 << bits) < map->ColorCount) ++bits;
    if (api.EGifPutScreenDesc(gif, int(w), int(h), bits, 0, map) != GIF_OK) return false;
    if (q.transparent >= 0) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.DelayTime = 0;
        gcb.UserInputFlag = false;
        gcb.TransparentColor = q.transparent;
        GifByteType ext[4];
        api.EGifGCBToExtension(&gcb, ext);
        if (api.EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) != GIF_OK) return false;
    }
    if (api.EGifPutImageDesc(gif, 0, 0, int(w), int(h), false, nullptr) != GIF_OK) return false;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = bgra + (size_t(y) * w + x) * 4;
            if (p[3] < 128) {
                line[x] = GifPixelType(q.transparent);
                continue;
            }
            uint32_t key = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            size_t at = size_t(std::lower_bound(q.keys.begin(), q.keys.end(), key) - q.keys.begin());
            line[x] = q.index_of[at];
        }
        if (api.EGifPutLine(gif, line, int(w)) != GIF_OK) return false;
    }
    return true;
}

}  // namespace

bool decode_gif(const uint8_t* data, size_t size, Decoded& out) {
    const Giflib* api = platform::load_api<Giflib>();
    if (!api) return false;
    Input in{data, size, 0};
    int error = 0;
    GifFileType* gif = api->DGifOpen(&in, read_input, &error);
    if (!gif) return false;
    bool ok = read_gif(*api, gif, out);
    api->DGifCloseFile(gif, &error);
    if (!ok) release(out);
    return ok;
}

bool encode_gif(const uint8_t* bgra, uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
    const Giflib* api = platform::load_api<Giflib>();
    if (!api) return false;
    size_t start = out.size();
    Quantised q;
    try {
        quantise(bgra, size_t(width) * height, q);
    } catch (...) {
        return false;
    }
    int size = 2;
    while (size < int(q.colours.size())) size *= 2;
    std::vector<GifColorType> colours = q.colours;
    colours.resize(size_t(size), GifColorType{0, 0, 0});
    ColorMapObject* map = api->GifMakeMapObject(size, colours.data());
    auto* line = static_cast<GifPixelType*>(std::malloc(width));
    int error = 0;
    GifFileType* gif = map && line ? api->EGifOpen(&out, write_output, &error) : nullptr;
    bool ok = gif && write_gif(*api, gif, bgra, width, height, q, map, line);
    if (gif && api->EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    api->GifFreeMapObject(map);
    std::free(line);
    if (!ok) out.resize(start);
    return ok;
}

}  // namespace kel::image_codecs
