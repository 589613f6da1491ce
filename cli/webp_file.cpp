#include "cli/webp_file.h"

#include <webp/encode.h>

namespace velkorramp {

namespace {

// libwebp's own messages for its error codes, as its encoder names them.
std::string webp_error_text(WebPEncodingError code)
{
    switch (code) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
        return "libwebp ran out of memory";
    case VP8_ENC_ERROR_BAD_DIMENSION:
        return "libwebp takes at most 16383 pixels a side";
    case VP8_ENC_ERROR_FILE_TOO_BIG:
        return "the picture is too big for a WebP file";
    default:
        return "libwebp failed with error " + std::to_string(static_cast<int>(code));
    }
}

}  // namespace

WebpEncoding encode_webp_rgba(const std::vector<std::uint8_t>& rgba, int width, int height,
                              float quality, bool lossless)
{
    WebpEncoding result;
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
        result.error = "libwebp does not match the version it was built for";
        return result;
    }
    config.quality = quality;
    config.lossless = lossless ? 1 : 0;
    config.method = 6;  // as OpenImageIO's writer: smallest files
    config.exact = 1;
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    WebPMemoryWriter memory;
    WebPMemoryWriterInit(&memory);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &memory;
    const bool imported = WebPPictureImportRGBA(&picture, rgba.data(), width * 4) != 0;
    const bool encoded = imported && WebPEncode(&config, &picture) != 0;
    if (encoded) {
        result.bytes.assign(memory.mem, memory.mem + memory.size);
    } else {
        result.error = imported ? webp_error_text(picture.error_code) : "libwebp ran out of memory";
    }
    WebPPictureFree(&picture);
    WebPMemoryWriterClear(&memory);
    return result;
}

}  // namespace velkorramp
