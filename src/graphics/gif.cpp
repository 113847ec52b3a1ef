// GIF files of window images: the GIF89a writer (one image with a global
// colour table of at most 256 colours, optionally interlaced and with a
// transparency extension) with its own LZW encoder on a hashed string table,
// and the reader of the first image of a file with its LZW decoder.
// File-static state: the interlace and transparency choices of later
// writes; each write and read keeps its tables in objects of its own.
#include "graphics/gif.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/gks.h"
#include "graphics/gks_colr.h"
#include "graphics/gks_img.h"
#include "graphics/img_tool.h"
#include "runtime/files.h"
#include "runtime/mess.h"
#include "runtime/string.h"

namespace {

int use_inter = 0;
int trans = 0;

constexpr int MAX_CODES = 4096; // codes are at most 12 bits
constexpr int NONE = -1;

// The rows of an image in GIF order: top to bottom, or the four passes of
// interlacing (every 8th row from 0, every 8th from 4, every 4th from 2,
// every 2nd from 1).
std::vector<int> row_order(int height, bool interlaced) {
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < height; y += step[pass])
            rows.push_back(y);
    return rows;
}

// ---- Writing ------------------------------------------------------------------

// Packs codes least significant bit first into data sub-blocks of 254 bytes
// and writes them; remembers whether any write failed.
class CodeWriter {
public:
    CodeWriter(FILE *f, int min_size) : f_(f), min_size_(min_size) {}

    void set_next(int next) { next_ = next; }
    void reset_size() {
        size_ = min_size_ + 1;
        mask_ = (1 << size_) - 1;
    }
    void out_code(int code) {
        acc_ |= static_cast<unsigned long>(code) << bits_;
        bits_ += size_;
        while (bits_ >= 8) {
            put_byte(static_cast<unsigned char>(acc_ & 0xFF));
            acc_ >>= 8;
            bits_ -= 8;
        }
        if (next_ > mask_ && size_ <= 11) {
            ++size_;
            mask_ = (1 << size_) - 1;
        }
    }
    // The bits left as one last byte, and the last sub-block.
    void flush() {
        if (bits_ > 0) put_byte(static_cast<unsigned char>(acc_ & 0xFF));
        acc_ = 0;
        bits_ = 0;
        write_block();
    }
    int size() const { return size_; }
    bool ok() const { return ok_; }

private:
    void put_byte(unsigned char b) {
        block_[++count_] = b;
        if (count_ == 254) write_block();
    }
    void write_block() {
        if (count_ == 0) return;
        block_[0] = static_cast<unsigned char>(count_);
        if (std::fwrite(block_.data(), 1, static_cast<std::size_t>(count_) + 1, f_) !=
            static_cast<std::size_t>(count_) + 1)
            ok_ = false;
        count_ = 0;
    }

    FILE *f_;
    int min_size_;
    int size_ = 0;
    int mask_ = 0;
    int next_ = 0;
    unsigned long acc_ = 0;
    int bits_ = 0;
    std::array<unsigned char, 1000> block_{};
    int count_ = 0;
    bool ok_ = true;
};

// The writer's string table: 4096 primary slots hashed on (pixel x 16) XOR
// prefix, each with a chain of overflow nodes from a pool of 4096.
class StringTable {
public:
    void clear() {
        for (Slot &s : slot_)
            s = Slot{};
        used_nodes_ = 0;
    }
    // The code of string (prefix s, pixel p), or NONE.
    int find(int s, int p) const {
        const long key = static_cast<long>(p) * MAX_CODES + s;
        const Slot &slot = slot_[static_cast<std::size_t>(((p * 16) ^ s) & (MAX_CODES - 1))];
        if (slot.key == key) return slot.code;
        for (int n = slot.chain; n != NONE; n = node_[static_cast<std::size_t>(n)].next)
            if (node_[static_cast<std::size_t>(n)].key == key) return node_[static_cast<std::size_t>(n)].code;
        return NONE;
    }
    bool full() const { return used_nodes_ >= MAX_CODES; }
    void add(int s, int p, int code) {
        const long key = static_cast<long>(p) * MAX_CODES + s;
        Slot &slot = slot_[static_cast<std::size_t>(((p * 16) ^ s) & (MAX_CODES - 1))];
        if (slot.key == NONE) {
            slot.key = key;
            slot.code = code;
            return;
        }
        Node &n = node_[static_cast<std::size_t>(used_nodes_)];
        n = {key, code, NONE};
        // Appended at the chain's end.
        if (slot.chain == NONE) {
            slot.chain = used_nodes_;
        } else {
            int last = slot.chain;
            while (node_[static_cast<std::size_t>(last)].next != NONE)
                last = node_[static_cast<std::size_t>(last)].next;
            node_[static_cast<std::size_t>(last)].next = used_nodes_;
        }
        ++used_nodes_;
    }

private:
    struct Slot {
        long key = NONE;
        int code = NONE;
        int chain = NONE;
    };
    struct Node {
        long key;
        int code;
        int next;
    };
    std::array<Slot, MAX_CODES> slot_{};
    std::array<Node, MAX_CODES> node_{};
    int used_nodes_ = 0;
};

// Compresses the indices in GIF row order.
void lzw_encode(CodeWriter &out, const std::vector<unsigned char> &index, int width, int height, int min_size,
                bool interlaced) {
    const int clear = 1 << min_size, end = clear + 1;
    auto table = std::make_unique<StringTable>();
    int next = end + 1;
    const auto clear_table = [&]() {
        out.out_code(clear);
        table->clear();
        out.reset_size();
        next = end + 1;
        out.set_next(next);
    };
    out.reset_size();
    out.set_next(next);
    clear_table();
    int s = NONE;
    for (int y : row_order(height, interlaced)) {
        const unsigned char *row =
            index.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const int p = row[x];
            if (s == NONE) {
                s = p;
                continue;
            }
            const int code = table->find(s, p);
            if (code != NONE) {
                s = code;
                continue;
            }
            out.out_code(s);
            if (next > MAX_CODES - 1 || table->full()) {
                s = p;
                clear_table();
            } else {
                table->add(s, p, next++);
                out.set_next(next);
                s = p;
            }
        }
    }
    if (s != NONE) out.out_code(s);
    out.out_code(end);
    out.flush();
}

void put16(std::string &b, int v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}

// ---- Reading ------------------------------------------------------------------

// Unpacks codes from the data sub-blocks. A file that ends inside them is
// truncated; a zero-size block ends the data.
class CodeReader {
public:
    explicit CodeReader(FILE *f) : f_(f) {}
    // The next code of `size` bits: 1, or 0 at the end of the data.
    int read_data(int size, int *code) {
        while (bits_ < size) {
            if (left_ == 0) {
                if (ended_) return 0;
                const int n = std::getc(f_);
                if (n == EOF) {
                    ended_ = truncated_ = true;
                    return 0;
                }
                if (n == 0) {
                    ended_ = true;
                    return 0;
                }
                left_ = n;
            }
            const int c = std::getc(f_);
            if (c == EOF) {
                ended_ = truncated_ = true;
                return 0;
            }
            --left_;
            acc_ |= static_cast<unsigned long>(c) << bits_;
            bits_ += 8;
        }
        *code = static_cast<int>(acc_ & ((1UL << size) - 1));
        acc_ >>= size;
        bits_ -= size;
        return 1;
    }
    bool truncated() const { return truncated_; }
    // Passes over what is left of the data up to the terminator.
    void skip_rest() {
        while (!ended_) {
            if (left_ > 0) {
                if (std::getc(f_) == EOF) ended_ = truncated_ = true;
                --left_;
                continue;
            }
            const int n = std::getc(f_);
            if (n == EOF) ended_ = truncated_ = true;
            if (n <= 0) ended_ = true;
            left_ = n > 0 ? n : 0;
        }
    }

private:
    FILE *f_;
    unsigned long acc_ = 0;
    int bits_ = 0;
    int left_ = 0;
    bool ended_ = false;
    bool truncated_ = false;
};

// Where decoded pixels go: the image's rows in GIF order, only inside the
// buffer's rows and columns.
class PixelSink {
public:
    PixelSink(IMG_report *image, int width, int height, bool interlaced)
        : image_(image), width_(width), rows_(row_order(height, interlaced)) {}
    void put(int pix) {
        if (row_ < rows_.size()) {
            const int y = rows_[row_];
            if (y < image_->height && col_ < image_->bytes_line)
                image_->data[static_cast<std::size_t>(y) * static_cast<std::size_t>(image_->bytes_line) +
                             static_cast<std::size_t>(col_)] = static_cast<unsigned char>(pix);
        }
        if (++col_ >= width_) {
            col_ = 0;
            ++row_;
        }
    }
    bool complete() const { return row_ >= rows_.size(); }

private:
    IMG_report *image_;
    int width_;
    std::vector<int> rows_;
    std::size_t row_ = 0;
    int col_ = 0;
};

// Decodes the LZW data of one image. 1; 0 with a warning naming the file.
int lzw_decode(FILE *f, PixelSink &sink, const char *filename) {
    const int min_size = std::getc(f);
    if (min_size < 1 || min_size > 11) {
        MESS_print(M_WARN, "GIF_read: Bad code size %d: %s\n", min_size, filename);
        return 0;
    }
    const int clear = 1 << min_size, end = clear + 1;
    std::array<int, MAX_CODES> prefix{};
    std::array<unsigned char, MAX_CODES> suffix{};
    std::array<unsigned char, MAX_CODES> stack{};
    for (int i = 0; i < clear; ++i) {
        prefix[static_cast<std::size_t>(i)] = NONE;
        suffix[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    }
    int size = min_size + 1, next = end + 1, prev = NONE;
    unsigned char first = 0; // first pixel of the string last output
    CodeReader in(f);
    // Outputs the string of a code in the table; its first pixel.
    const auto output = [&](int code, int extra) {
        std::size_t sp = 0;
        if (extra >= 0) stack[sp++] = static_cast<unsigned char>(extra);
        for (int c = code; c != NONE && sp < stack.size(); c = prefix[static_cast<std::size_t>(c)])
            stack[sp++] = suffix[static_cast<std::size_t>(c)];
        const unsigned char head = stack[sp - 1];
        while (sp > 0)
            sink.put(stack[--sp]);
        return head;
    };
    int code = 0;
    while (in.read_data(size, &code)) {
        if (code == clear) {
            size = min_size + 1;
            next = end + 1;
            prev = NONE;
            continue;
        }
        if (code == end) break;
        if (prev == NONE) {
            if (code >= clear) {
                MESS_print(M_WARN, "GIF_read: Code %d where a pixel must start: %s\n", code, filename);
                return 0;
            }
            first = output(code, -1);
            prev = code;
            continue;
        }
        if (code > next || code == clear || code == end || (code == next && next >= MAX_CODES)) {
            MESS_print(M_WARN, "GIF_read: Code %d beyond the table (next %d): %s\n", code, next, filename);
            return 0;
        }
        if (code < next)
            first = output(code, -1);
        else
            first = output(prev, first); // the string of prev and its own first pixel
        // A full table takes no more entries: codes go on at 12 bits until a clear code.
        if (next < MAX_CODES) {
            prefix[static_cast<std::size_t>(next)] = prev;
            suffix[static_cast<std::size_t>(next)] = first;
            if (next == (1 << size) - 1 && size <= 11) ++size;
            ++next;
        }
        prev = code;
    }
    in.skip_rest();
    if (in.truncated() || !sink.complete()) {
        MESS_print(M_WARN, "GIF_read: Image data end early: %s\n", filename);
        return 0;
    }
    return 1;
}

// Reads n bytes; false at the end of the file.
bool read_bytes(FILE *f, unsigned char *b, std::size_t n) {
    return std::fread(b, 1, n, f) == n;
}

// Passes over data sub-blocks up to their terminator; false at the end of
// the file.
bool skip_blocks(FILE *f) {
    for (;;) {
        const int n = std::getc(f);
        if (n == EOF) return false;
        if (n == 0) return true;
        for (int i = 0; i < n; ++i)
            if (std::getc(f) == EOF) return false;
    }
}

// A colour table of n entries into the record's palette.
bool read_colors(FILE *f, IMG_report *image, int n) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(n) * 3);
    if (!read_bytes(f, rgb.data(), rgb.size()) || !IMG_alloc_colors(image, n)) return false;
    for (int i = 0; i < n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i) * 3;
        image->colors[i] = {rgb[k] / 255.0f, rgb[k + 1] / 255.0f, rgb[k + 2] / 255.0f};
    }
    return true;
}

// The graphics control extension described at debug kind.
bool read_control(FILE *f) {
    unsigned char b[5];
    if (!read_bytes(f, b, sizeof b)) return false;
    MESS_print(M_DEBUG, "Control Extension\n");
    MESS_print(M_DEBUG, "Block size: %d\n", b[0]);
    static const char *const disposal[] = {"No disposal specified\n",
                                           "Do not dispose. graphic left in tact\n",
                                           "Restore to background color\n", "Restore to previous image\n"};
    const int d = (b[1] >> 2) & 7;
    if (d < 4) MESS_print(M_DEBUG, "%s", disposal[d]);
    MESS_print(M_DEBUG, (b[1] & 2) != 0 ? "User input expected\n" : "User input not expected\n");
    MESS_print(M_DEBUG, (b[1] & 1) != 0 ? "Transparent index given\n" : "Transparent index not given\n");
    const int delay = b[2] | (b[3] << 8);
    MESS_print(M_DEBUG, "Delay time: %d %.2f\n", delay, delay / 100.0);
    MESS_print(M_DEBUG, "Transparent color index: %d\n", b[4]);
    // The rest of the block, if longer, and the terminator.
    for (int i = 4; i < b[0]; ++i)
        if (std::getc(f) == EOF) return false;
    return skip_blocks(f);
}

bool read_application(FILE *f) {
    unsigned char b[12];
    if (!read_bytes(f, b, 1)) return false;
    MESS_print(M_DEBUG, "Application Extension\n");
    MESS_print(M_DEBUG, "Block size: %d\n", b[0]);
    const int n = b[0];
    if (n == 11) {
        if (!read_bytes(f, b + 1, 11)) return false;
        MESS_print(M_DEBUG, "Application identifier: %8.8s\n", reinterpret_cast<const char *>(b + 1));
        MESS_print(M_DEBUG, "Application authentication: %3.3s\n", reinterpret_cast<const char *>(b + 9));
    } else {
        for (int i = 0; i < n; ++i)
            if (std::getc(f) == EOF) return false;
        if (n == 0) return true;
    }
    return skip_blocks(f);
}

} // namespace

int GIF_interlace(int val) {
    use_inter = val;
    return 0;
}

int GIF_transparent(int val) {
    trans = val;
    return 0;
}

int GIF_write(const char *filename, const IMG_report *image) {
    const char *name = filename != nullptr ? filename : "";
    MESS_print(M_DEBUG, "width: %d\n", image->width);
    MESS_print(M_DEBUG, "height: %d\n", image->height);
    MESS_print(M_DEBUG, "depth: %d\n", image->depth);
    MESS_print(M_DEBUG, "bytes_per_line: %d\n", image->bytes_line);
    if (image->width > 65535 || image->height > 65535) {
        MESS_print(M_WARN, "GIF_write: Image of %dx%d too large: %s\n", image->width, image->height, name);
        return 0;
    }
    IMG_indexed ind;
    // The window's background pixel; none without a window.
    const long back = gget_win_depth() > 0 ? gget_color_ind(-1) : -1;
    if (!IMG_index_colors(image, back >= 0 ? static_cast<unsigned long>(back) : ~0UL, &ind, "GIF_write"))
        return 0;
    FILE *f = filename != nullptr ? FILE_open(filename, "wb") : nullptr;
    if (f == nullptr) {
        MESS_print(M_WARN, "Unable to open GIF file\n");
        MESS_print(M_WARN, "GIF_write: Unable to open: %s\n", name);
        return 0;
    }
    MESS_print(M_DEBUG, "num_color: %d\n", ind.num_colors);
    int n = 1;
    while ((1 << n) < ind.num_colors)
        ++n;
    MESS_print(M_DEBUG, "num_color+: %d\n", 1 << n);
    const int min_size = std::max(n, 2);
    MESS_print(M_DEBUG, "code_size: %d\n", min_size);

    std::string head = "GIF89a";
    put16(head, image->width);
    put16(head, image->height);
    head += static_cast<char>(0x80 | ((n - 1) << 4) | (n - 1));
    head += '\0'; // background colour index
    head += '\0'; // pixel aspect ratio
    for (int i = 0; i < (1 << n); ++i)
        for (int c = 0; c < 3; ++c)
            head += static_cast<char>(i < ind.num_colors ? ind.rgb[i][c] : 0);
    if (trans != 0) {
        // Without a background pixel nothing is transparent: the flag stays clear.
        const bool have = ind.trans_index >= 0;
        const unsigned char ext[8] = {0x21,
                                      0xF9,
                                      4,
                                      static_cast<unsigned char>(have ? 1 : 0),
                                      10,
                                      0,
                                      static_cast<unsigned char>(have ? ind.trans_index : 0),
                                      0};
        head.append(reinterpret_cast<const char *>(ext), sizeof ext);
    }
    head += ',';
    put16(head, 0);
    put16(head, 0);
    put16(head, image->width);
    put16(head, image->height);
    head += static_cast<char>(use_inter != 0 ? 0x40 : 0);
    head += static_cast<char>(min_size);
    bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
    if (ok) {
        CodeWriter out(f, min_size);
        lzw_encode(out, ind.index, image->width, image->height, min_size, use_inter != 0);
        ok = out.ok() && std::fputc(0, f) != EOF && std::fputc(';', f) != EOF;
    }
    if (FILE_close_output(f) != 0) ok = false;
    if (!ok) {
        MESS_print(M_WARN, "GIF_write: Unable to write: %s\n", name);
        return 0;
    }
    return 1;
}

int GIF_read(const char *filename, IMG_report *image, int type) {
    const char *name = filename != nullptr ? filename : "";
    FILE *f = filename != nullptr ? FILE_open(filename, "rb") : nullptr;
    if (f == nullptr) {
        MESS_print(M_WARN, "GIF_read: Unable to open file\n");
        MESS_print(M_WARN, "GIF_read: Unable to open: %s\n", name);
        return 0;
    }
    const FileCloser closer(f);
    const auto fail = [image, name](const char *what) {
        MESS_print(M_WARN, "GIF_read: %s: %s\n", what, name);
        IMG_free(image);
        return 0;
    };
    unsigned char b[13];
    if (!read_bytes(f, b, 3)) return fail("Not a GIF file");
    if (std::memcmp(b, "** ", 3) == 0) {
        int c;
        while ((c = std::getc(f)) != EOF && c != '\n') {
        }
        if (!read_bytes(f, b, 3)) return fail("Not a GIF file");
    }
    if (std::memcmp(b, "GIF", 3) != 0) return fail("Not a GIF file");
    if (!read_bytes(f, b, 3 + 7)) return fail("File ends in the screen descriptor");
    const unsigned char *lsd = b + 3;
    const int width = lsd[0] | (lsd[1] << 8), height = lsd[2] | (lsd[3] << 8);
    const int packed = lsd[4];
    const bool global = (packed & 0x80) != 0;
    const int count = 1 << ((packed & 7) + 1);
    image->width = width;
    image->height = height;
    image->depth = 8;
    image->bits_pixel = 0;
    image->bytes_line = width;
    image->byte_order = 1;
    image->color_type = 1;
    image->num_colors = global ? count : 0;
    image->colors = nullptr;
    image->data = nullptr;
    copy_text(image->info, "GIF");
    MESS_print(M_DEBUG, "type: %s\n", image->info);
    MESS_print(M_DEBUG, "width: %d\n", width);
    MESS_print(M_DEBUG, "height: %d\n", height);
    MESS_print(M_DEBUG, "depth: %d\n", image->depth);
    MESS_print(M_DEBUG, "bytes_per_line: %d\n", image->bytes_line);
    if (width <= 0 || height <= 0) return fail("Image size out of range");
    if (type == 1) return 1;
    if (global) {
        MESS_print(M_DEBUG, "color table size: %d\n", count);
        if (!read_colors(f, image, count)) return fail("File ends in the colour table");
    }
    if (!IMG_alloc_data(image)) {
        MESS_print(M_WARN, "Unable to allocate data buffer.\n");
        return fail("No image buffer");
    }
    for (;;) {
        const int c = std::getc(f);
        if (c == EOF || c == ';') return fail("No image in the file");
        if (c == '!') {
            const int label = std::getc(f);
            MESS_print(M_DEBUG, "Extension Label: %2X\n", static_cast<unsigned>(label));
            bool ok = true;
            if (label == 0xF9) {
                MESS_print(M_DEBUG, "Graphics Control Extension\n");
                ok = read_control(f);
            } else if (label == 0xFF) {
                ok = read_application(f);
            } else if (label == 0xFE) {
                MESS_print(M_DEBUG, "Comment Data\n");
                ok = skip_blocks(f);
            } else {
                ok = label != EOF && skip_blocks(f);
            }
            if (!ok) return fail("File ends in an extension");
            continue;
        }
        if (c != ',') continue; // stray bytes between blocks are passed over
        unsigned char d[9];
        if (!read_bytes(f, d, sizeof d)) return fail("File ends in the image descriptor");
        const int x = d[0] | (d[1] << 8), y = d[2] | (d[3] << 8);
        const int w = d[4] | (d[5] << 8), h = d[6] | (d[7] << 8);
        MESS_print(M_DEBUG, "X: %3d Y: %3d W: %3d H: %3d\n", x, y, w, h);
        if ((d[8] & 0x80) != 0) {
            const int n = 1 << ((d[8] & 7) + 1);
            if (!global) {
                // Without a global table the image's own one serves.
                if (!read_colors(f, image, n)) return fail("File ends in the colour table");
            } else {
                std::vector<unsigned char> skip(static_cast<std::size_t>(n) * 3);
                if (!read_bytes(f, skip.data(), skip.size())) return fail("File ends in the colour table");
            }
        }
        if (w <= 0 || h <= 0) return fail("Image size out of range");
        PixelSink sink(image, w, h, (d[8] & 0x40) != 0);
        if (lzw_decode(f, sink, name) != 1) {
            IMG_free(image);
            return 0;
        }
        return 1;
    }
}

int GIF_dump(const char *filename) {
    IMG_report image;
    if (gget_image(&image) != 1) return 0;
    const int rc = GIF_write(filename, &image);
    IMG_free(&image);
    return rc;
}
