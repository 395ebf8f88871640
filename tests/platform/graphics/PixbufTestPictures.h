#pragma once
// Small GIF, TIFF, ICO and BMP pictures written byte by byte, for the tests of the formats read
// through gdk-pixbuf.

#include "platform/graphics/Image.h"

#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

namespace morvix::testing::pictures {

using Bytes = std::vector<std::uint8_t>;
using platform::Pixel;

inline void put16(Bytes& out, unsigned value)
{
    out.insert(out.end(), { std::uint8_t(value), std::uint8_t(value >> 8) });
}

inline void put32(Bytes& out, std::uint32_t value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

inline void put(Bytes& out, std::string_view text)
{
    for (char c : text)
        out.push_back(std::uint8_t(c));
}

inline void patch32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = std::uint8_t(value >> (8 * i));
}

// The 3 x 2 picture every format carries: red, green, blue above white, black and yellow at half
// alpha (BMP drops the alpha; GIF, with a transparent colour and no partial alpha, makes that
// last pixel fully transparent).
inline const Pixel kPicture[2][3] = {
    { { 255, 0, 0, 255 }, { 0, 255, 0, 255 }, { 0, 0, 255, 255 } },
    { { 255, 255, 255, 255 }, { 0, 0, 0, 255 }, { 255, 255, 0, 128 } },
};

// The BITMAPINFOHEADER both BMP and ICO use; an icon's height counts its mask rows too.
inline void putBitmapInfo(Bytes& out, int width, int height, int bitsPerPixel, std::size_t imageBytes)
{
    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height));
    put16(out, 1);
    put16(out, unsigned(bitsPerPixel));
    put32(out, 0);  // uncompressed
    put32(out, std::uint32_t(imageBytes));
    put32(out, 2835), put32(out, 2835), put32(out, 0), put32(out, 0);
}

// A 24-bit BMP: rows bottom-up, B G R, each padded to four bytes.
inline Bytes bmp()
{
    Bytes rows;
    for (int y = 1; y >= 0; --y) {
        for (const Pixel& p : kPicture[y])
            rows.insert(rows.end(), { p.blue, p.green, p.red });
        rows.resize((rows.size() + 3) / 4 * 4);
    }
    Bytes out;
    put(out, "BM");
    put32(out, std::uint32_t(54 + rows.size())), put32(out, 0), put32(out, 54);
    putBitmapInfo(out, 3, 2, 24, rows.size());
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

// An icon with one 32-bit picture: B G R A rows bottom-up, then an all-clear AND mask.
inline Bytes ico()
{
    Bytes image;
    putBitmapInfo(image, 3, 4, 32, 3 * 2 * 4 + 2 * 4);
    for (int y = 1; y >= 0; --y)
        for (const Pixel& p : kPicture[y])
            image.insert(image.end(), { p.blue, p.green, p.red, p.alpha });
    image.resize(image.size() + 2 * 4);  // mask rows of 32 bits
    Bytes out;
    put16(out, 0), put16(out, 1), put16(out, 1);
    out.insert(out.end(), { 3, 2, 0, 0 });
    put16(out, 1), put16(out, 32), put32(out, std::uint32_t(image.size())), put32(out, 22);
    out.insert(out.end(), image.begin(), image.end());
    return out;
}

struct GifOptions {
    int screenWidth = 3, screenHeight = 2;
    int frameWidth = 3, frameHeight = 2;
};

// A GIF89a with an 8-colour table, the last pixel's index transparent. The LZW stream sends a
// clear code before every two indices, so that every code is a 4-bit literal.
inline Bytes gif(const GifOptions& options = {})
{
    const std::uint8_t indices[] = { 0, 1, 2, 3, 4, 6 };
    const std::uint8_t palette[8][3] = { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 }, { 255, 255, 255 }, { 0, 0, 0 }, {}, { 9, 9, 9 }, {} };
    Bytes out;
    put(out, "GIF89a");
    put16(out, unsigned(options.screenWidth)), put16(out, unsigned(options.screenHeight));
    out.insert(out.end(), { 0x82, 0, 0 });  // a global table of 2^(2+1) colours
    for (const auto& color : palette)
        out.insert(out.end(), color, color + 3);
    out.insert(out.end(), { 0x21, 0xf9, 4, 1, 0, 0, 6, 0 });  // index 6 is transparent
    out.push_back(0x2c);
    put16(out, 0), put16(out, 0), put16(out, unsigned(options.frameWidth)), put16(out, unsigned(options.frameHeight));
    out.push_back(0);
    std::vector<unsigned> codes;
    for (std::size_t i = 0; i < std::size(indices); i += 2)
        codes.insert(codes.end(), { 8u, indices[i], indices[i + 1] });
    codes.push_back(9);
    Bytes packed((codes.size() * 4 + 7) / 8);
    for (std::size_t i = 0; i < codes.size(); ++i)
        packed[i / 2] |= std::uint8_t(codes[i] << (4 * (i % 2)));
    out.push_back(3);  // the minimum code size
    out.push_back(std::uint8_t(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
    out.insert(out.end(), { 0, 0x3b });
    return out;
}

// A little-endian, uncompressed RGBA TIFF with unassociated alpha, in one strip.
inline Bytes tiff(int width = 3, int height = 2, unsigned orientation = 1)
{
    Bytes pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Pixel& p = kPicture[y % 2][x % 3];
            pixels.insert(pixels.end(), { p.red, p.green, p.blue, p.alpha });
        }
    std::uint32_t bitsOffset = 8 + std::uint32_t(pixels.size());
    std::uint32_t directoryOffset = bitsOffset + 8;
    Bytes out;
    put(out, std::string_view("II*\0", 4));
    put32(out, directoryOffset);
    out.insert(out.end(), pixels.begin(), pixels.end());
    put16(out, 8), put16(out, 8), put16(out, 8), put16(out, 8);
    struct Entry {
        unsigned tag, type;
        std::uint32_t count, value;
    };
    const Entry entries[] = {
        { 256, 4, 1, std::uint32_t(width) }, { 257, 4, 1, std::uint32_t(height) }, { 258, 3, 4, bitsOffset },
        { 259, 3, 1, 1 }, { 262, 3, 1, 2 }, { 273, 4, 1, 8 }, { 274, 3, 1, orientation }, { 277, 3, 1, 4 },
        { 278, 4, 1, std::uint32_t(height) }, { 279, 4, 1, std::uint32_t(pixels.size()) }, { 284, 3, 1, 1 },
        { 338, 3, 1, 2 },  // the extra sample is unassociated alpha
    };
    put16(out, unsigned(std::size(entries)));
    for (const Entry& entry : entries) {
        put16(out, entry.tag), put16(out, entry.type), put32(out, entry.count);
        put32(out, entry.value);  // a lone SHORT sits in the low half, little-endian
    }
    put32(out, 0);
    return out;
}

} // namespace morvix::testing::pictures
