// JPEG 2000 code streams of GRIB edition 2 data sections, decoded by
// OpenJPEG: the few calls the decoder needs behind one function, with every
// library object released on every path and the library's messages turned
// into debug messages.
// File-static state: none.
#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "gridfile/grib_int.h"
#include "runtime/mess.h"

namespace {

// The code stream in memory, as the library reads it.
struct Source {
    const unsigned char *data;
    std::size_t size;
    std::size_t pos;
};

OPJ_SIZE_T read_source(void *buf, OPJ_SIZE_T n, void *user) {
    auto *s = static_cast<Source *>(user);
    if (s->pos >= s->size) return OPJ_SIZE_T(-1);
    const std::size_t take = std::min<std::size_t>(n, s->size - s->pos);
    std::memcpy(buf, s->data + s->pos, take);
    s->pos += take;
    return take;
}

OPJ_OFF_T skip_source(OPJ_OFF_T n, void *user) {
    auto *s = static_cast<Source *>(user);
    if (n < 0) {
        const std::size_t back = std::min<std::size_t>(std::size_t(-n), s->pos);
        s->pos -= back;
        return -OPJ_OFF_T(back);
    }
    const std::size_t ahead = std::min<std::size_t>(std::size_t(n), s->size - s->pos);
    s->pos += ahead;
    return OPJ_OFF_T(ahead);
}

OPJ_BOOL seek_source(OPJ_OFF_T to, void *user) {
    auto *s = static_cast<Source *>(user);
    if (to < 0 || std::size_t(to) > s->size) return OPJ_FALSE;
    s->pos = std::size_t(to);
    return OPJ_TRUE;
}

void library_message(const char *msg, void *) {
    MESS_print(M_DEBUG_C, "OpenJPEG: %s", msg != nullptr ? msg : "\n");
}

struct CodecFree {
    void operator()(opj_codec_t *c) const { opj_destroy_codec(c); }
};
struct StreamFree {
    void operator()(opj_stream_t *s) const { opj_stream_destroy(s); }
};
struct ImageFree {
    void operator()(opj_image_t *i) const { opj_image_destroy(i); }
};

// A JP2 file starts with its signature box; anything else is taken as a
// bare code stream, as GRIB writers store it.
bool is_jp2(const unsigned char *p, std::size_t n) {
    static const unsigned char sig[] = {0, 0, 0, 12, 'j', 'P', ' ', ' '};
    return n >= sizeof sig && std::memcmp(p, sig, sizeof sig) == 0;
}

} // namespace

namespace grib_int {

bool jpeg2000_decode(const unsigned char *data, std::size_t size, J2kImage &out) {
    out = J2kImage{};
    if (data == nullptr || size == 0) return false;
    Source src{data, size, 0};
    std::unique_ptr<opj_stream_t, StreamFree> stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
    std::unique_ptr<opj_codec_t, CodecFree> codec(
        opj_create_decompress(is_jp2(data, size) ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!stream || !codec) return false;
    opj_stream_set_user_data(stream.get(), &src, nullptr);
    opj_stream_set_user_data_length(stream.get(), OPJ_UINT64(size));
    opj_stream_set_read_function(stream.get(), read_source);
    opj_stream_set_skip_function(stream.get(), skip_source);
    opj_stream_set_seek_function(stream.get(), seek_source);
    opj_set_info_handler(codec.get(), library_message, nullptr);
    opj_set_warning_handler(codec.get(), library_message, nullptr);
    opj_set_error_handler(codec.get(), library_message, nullptr);

    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    if (!opj_setup_decoder(codec.get(), &params)) return false;
    opj_image_t *raw = nullptr;
    const bool header = opj_read_header(stream.get(), codec.get(), &raw) != OPJ_FALSE;
    std::unique_ptr<opj_image_t, ImageFree> image(raw);
    if (!header || !image) return false;
    if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get()))
        return false;
    if (image->numcomps < 1 || image->comps == nullptr || image->comps[0].data == nullptr) return false;
    const opj_image_comp_t &c = image->comps[0];
    if (image->x1 < image->x0 || image->y1 < image->y0) return false;
    const OPJ_UINT32 width = image->x1 - image->x0, height = image->y1 - image->y0;
    // Component 0 must cover the image whole, as its matrix is read from
    // (0, 0) over width x height.
    if (c.w != width || c.h != height || width > OPJ_UINT32(std::numeric_limits<int>::max()) ||
        height > OPJ_UINT32(std::numeric_limits<int>::max()))
        return false;
    out.tlx = int(image->x0);
    out.tly = int(image->y0);
    out.brx = int(image->x1);
    out.bry = int(image->y1);
    out.width = int(width);
    out.height = int(height);
    out.values.assign(c.data, c.data + std::size_t(width) * std::size_t(height));
    return true;
}

} // namespace grib_int
