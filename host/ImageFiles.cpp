#include "host/ImageFiles.h"

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "host/AtomicWrite.h"
#include "host/ColourConversion.h"
#include "host/Failure.h"
#include "host/PathRecords.h"
#include "host/PhotoshopResources.h"

namespace host {

namespace {

size_t gMaxOpenPixels = size_t{256} << 20;
// Channels of one document at most, as in the editors whose files these are;
// a forged sample count must not make the host allocate without end.
constexpr int kMaxChannels = 56;
// Bytes of all planes together, per pixel allowed by the pixel limit.
constexpr size_t kMaxBytesPerAllowedPixel = 8;
// The tile side a TIFF file may use whatever its image's size.
constexpr uint32_t kMaxTileSideAnyImage = 1024;

std::string lowerExtension(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

void checkSize(const std::string& name, uint64_t width, uint64_t height) {
  if (width < 1 || height < 1)
    throw Failure(name + ": the image is empty");
  if (width > kMaxDocumentSide || height > kMaxDocumentSide)
    throw Failure(name + ": " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels is too large (at most " + std::to_string(kMaxDocumentSide) + " per side)");
  if (width * height > gMaxOpenPixels)
    throw Failure(name + ": " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels is more than this host opens");
}

// Spreads interleaved rows over the document's planes.
void deinterleaveRow(std::vector<Plane*>& planes, const uint8_t* row, int32_t width, int32_t y, size_t step) {
  for (size_t p = 0; p < planes.size(); ++p) {
    if (planes[p] == nullptr) continue;
    uint8_t* out = planes[p]->data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    const uint8_t* in = row + p;
    for (int32_t x = 0; x < width; ++x, in += step) out[x] = *in;
  }
}

// ---------------------------------------------------------------- TIFF ----

thread_local std::string tTiffError;

void tiffError(const char*, const char* format, va_list args) {
  char buf[512];
  std::vsnprintf(buf, sizeof buf, format, args);
  if (tTiffError.empty()) tTiffError = buf;
}

struct TiffMemory {
  const uint8_t* in = nullptr;
  std::vector<uint8_t>* out = nullptr;
  size_t size = 0;
  size_t at = 0;
};

tmsize_t tiffRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<TiffMemory*>(h);
  if (m->in == nullptr || n < 0) return 0;
  const size_t count = m->at >= m->size ? 0 : std::min(static_cast<size_t>(n), m->size - m->at);
  if (count > 0) std::memcpy(buf, m->in + m->at, count);
  m->at += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t tiffWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<TiffMemory*>(h);
  if (m->out == nullptr || n < 0) return 0;
  const size_t end = m->at + static_cast<size_t>(n);
  if (m->out->size() < end) m->out->resize(end);
  std::memcpy(m->out->data() + m->at, buf, static_cast<size_t>(n));
  m->at = end;
  m->size = m->out->size();
  return n;
}
toff_t tiffSeek(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<TiffMemory*>(h);
  uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->size;
  const uint64_t target = base + offset;
  if (target > (uint64_t{1} << 40)) return static_cast<toff_t>(-1);
  m->at = static_cast<size_t>(target);
  return target;
}
int tiffClose(thandle_t) { return 0; }
toff_t tiffSize(thandle_t h) { return static_cast<TiffMemory*>(h)->size; }
int tiffMap(thandle_t, void**, toff_t*) { return 0; }
void tiffUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr openTiffClient(const std::string& name, const char* mode, TiffMemory& memory) {
  TIFFSetErrorHandler(tiffError);
  TIFFSetWarningHandler(nullptr);
  tTiffError.clear();
  return TiffPtr(TIFFClientOpen(name.c_str(), mode, &memory, tiffRead, tiffWrite, tiffSeek, tiffClose,
                                tiffSize, tiffMap, tiffUnmap));
}

std::string tiffReason(const char* fallback) { return tTiffError.empty() ? fallback : tTiffError; }

void readTiffPixels(TIFF* tif, const std::string& name, std::vector<Plane*>& planes, int32_t width,
                    int32_t height, uint16_t samples, uint16_t planar) {
  const size_t step = samples;
  if (TIFFIsTiled(tif)) {
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    if (tw == 0 || th == 0 || tw > 65536 || th > 65536) throw Failure(name + ": tile size is invalid");
    // A tile is read whole, so one far larger than the image would have a
    // file of a few bytes take gigabytes. Tiles may reach past the image by
    // the usual rounding, and small images may use the common tile sizes.
    auto tileFits = [](uint32_t tile, int32_t side) {
      return tile <= std::max<uint32_t>(kMaxTileSideAnyImage, (static_cast<uint32_t>(side) + 15) / 16 * 16);
    };
    if (!tileFits(tw, width) || !tileFits(th, height))
      throw Failure(name + ": tiles of " + std::to_string(tw) + " x " + std::to_string(th) +
                    " pixels are far larger than the image");
    const size_t perPixel = planar == PLANARCONFIG_CONTIG ? step : 1;
    const tmsize_t tileSize = TIFFTileSize(tif);
    if (tileSize <= 0 || static_cast<uint64_t>(tileSize) < uint64_t{tw} * th * perPixel)
      throw Failure(name + ": tile size is invalid");
    std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
    const uint16_t passes = planar == PLANARCONFIG_CONTIG ? 1 : samples;
    for (uint16_t s = 0; s < passes; ++s)
      for (uint32_t y0 = 0; y0 < static_cast<uint32_t>(height); y0 += th)
        for (uint32_t x0 = 0; x0 < static_cast<uint32_t>(width); x0 += tw) {
          if (TIFFReadTile(tif, tile.data(), x0, y0, 0, s) < 0)
            throw Failure(name + ": " + tiffReason("a tile cannot be read"));
          const uint32_t rows = std::min(th, static_cast<uint32_t>(height) - y0);
          const uint32_t cols = std::min(tw, static_cast<uint32_t>(width) - x0);
          for (uint32_t r = 0; r < rows; ++r) {
            const uint8_t* in = tile.data() + static_cast<size_t>(r) * tw * perPixel;
            for (size_t p = 0; p < planes.size(); ++p) {
              if (planar != PLANARCONFIG_CONTIG && p != s) continue;
              if (planes[p] == nullptr) continue;
              uint8_t* out = planes[p]->data() + static_cast<size_t>(y0 + r) * static_cast<size_t>(width) + x0;
              const size_t offset = planar == PLANARCONFIG_CONTIG ? p : 0;
              for (uint32_t c = 0; c < cols; ++c) out[c] = in[c * perPixel + offset];
            }
          }
        }
    return;
  }
  const tmsize_t lineSize = TIFFScanlineSize(tif);
  const size_t needed = static_cast<size_t>(width) * (planar == PLANARCONFIG_CONTIG ? step : 1);
  if (lineSize <= 0 || static_cast<size_t>(lineSize) < needed) throw Failure(name + ": scanline size is invalid");
  std::vector<uint8_t> line(static_cast<size_t>(lineSize));
  if (planar == PLANARCONFIG_CONTIG) {
    for (int32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(tif, line.data(), static_cast<uint32_t>(y), 0) < 0)
        throw Failure(name + ": " + tiffReason("the image data is damaged or truncated"));
      deinterleaveRow(planes, line.data(), width, y, step);
    }
    return;
  }
  for (uint16_t s = 0; s < samples; ++s)
    for (int32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(tif, line.data(), static_cast<uint32_t>(y), s) < 0)
        throw Failure(name + ": " + tiffReason("the image data is damaged or truncated"));
      if (planes[s] != nullptr)
        std::memcpy(planes[s]->data() + static_cast<size_t>(y) * static_cast<size_t>(width), line.data(),
                    static_cast<size_t>(width));
    }
}

Document decodeTiff(const uint8_t* bytes, size_t size, const std::string& name) {
  TiffMemory memory{bytes, nullptr, size, 0};
  TiffPtr tif = openTiffClient(name, "rm", memory);
  if (!tif) throw Failure(name + ": not a readable TIFF file: " + tiffReason("the header is damaged"));
  TIFF* t = tif.get();

  uint32_t width = 0, height = 0;
  uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
  if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height))
    throw Failure(name + ": the TIFF file gives no image size");
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
  if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric))
    throw Failure(name + ": the TIFF file gives no colour interpretation");
  if (bits != 8) throw Failure(name + ": " + std::to_string(bits) + " bits per sample is not supported (8-bit images only)");
  if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_INT)
    throw Failure(name + ": floating-point samples are not supported (8-bit images only)");

  int16_t mode = 0;
  switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: mode = kModeGrey; break;
    case PHOTOMETRIC_RGB: mode = kModeRGB; break;
    case PHOTOMETRIC_SEPARATED: {
      uint16_t inks = INKSET_CMYK;
      TIFFGetFieldDefaulted(t, TIFFTAG_INKSET, &inks);
      if (inks != INKSET_CMYK) throw Failure(name + ": separations other than CMYK are not supported");
      mode = kModeCMYK;
      break;
    }
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB: mode = kModeLab; break;
    case PHOTOMETRIC_YCBCR: {
      uint16_t compression = COMPRESSION_NONE;
      TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
      if (compression != COMPRESSION_JPEG) throw Failure(name + ": YCbCr TIFF without JPEG compression is not supported");
      TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      mode = kModeRGB;
      break;
    }
    case PHOTOMETRIC_PALETTE: throw Failure(name + ": indexed colour is not supported");
    default:
      throw Failure(name + ": colour interpretation " + std::to_string(photometric) + " is not supported");
  }
  const int colours = colourChannelCount(mode);
  if (samples < colours) throw Failure(name + ": " + std::to_string(samples) + " samples per pixel is too few for " + modeName(mode));
  if (samples > kMaxChannels)
    throw Failure(name + ": " + std::to_string(samples) + " channels is more than this host opens (at most " +
                  std::to_string(kMaxChannels) + ")");
  checkSize(name, width, height);
  if (uint64_t{width} * height * samples > uint64_t{gMaxOpenPixels} * kMaxBytesPerAllowedPixel)
    throw Failure(name + ": " + std::to_string(width) + " x " + std::to_string(height) + " pixels of " +
                  std::to_string(samples) + " channels is more than this host opens");

  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
  std::vector<ImageResource> resources;
  uint32_t blockSize = 0;
  void* block = nullptr;
  if (TIFFGetField(t, TIFFTAG_PHOTOSHOP, &blockSize, &block) && block != nullptr)
    resources = decodeImageResources(static_cast<const uint8_t*>(block), blockSize);

  Document doc(mode, static_cast<int32_t>(width), static_cast<int32_t>(height));
  std::vector<std::string> alphaNames;
  for (const ImageResource& r : resources) {
    if (r.id == kResourceAlphaNames) alphaNames = decodeAlphaNames(r.data);
    if (r.id == kResourceWorkPath) {
      try {
        decodePath(r.data, doc.width(), doc.height());
        doc.workPath = r.data;
      } catch (const Failure&) {
        // A damaged path is left behind; the pixels are what was asked for.
      }
    }
  }

  std::vector<Plane*> planes;
  for (int i = 0; i < colours; ++i) planes.push_back(&doc.colour(i));
  bool associated = false;
  const int extras = samples - colours;
  size_t nextName = 0;
  doc.alphas.reserve(static_cast<size_t>(extras));
  for (int e = 0; e < extras; ++e) {
    const uint16_t type = extraTypes != nullptr && e < extraCount ? extraTypes[e] : EXTRASAMPLE_UNSPECIFIED;
    const bool isAlpha = type == EXTRASAMPLE_ASSOCALPHA || type == EXTRASAMPLE_UNASSALPHA;
    if (isAlpha && !doc.transparency) {
      doc.transparency = doc.newPlane(0);
      associated = type == EXTRASAMPLE_ASSOCALPHA;
      planes.push_back(&*doc.transparency);
      continue;
    }
    const std::string alphaName =
        nextName < alphaNames.size() ? alphaNames[nextName] : "Alpha " + std::to_string(nextName + 1);
    ++nextName;
    doc.alphas.push_back({alphaName, doc.newPlane(0)});
    planes.push_back(&doc.alphas.back().data);
  }

  readTiffPixels(t, name, planes, doc.width(), doc.height(), samples, planar);

  if (photometric == PHOTOMETRIC_MINISWHITE)
    for (uint8_t& v : doc.colour(0)) v = static_cast<uint8_t>(255 - v);
  if (photometric == PHOTOMETRIC_CIELAB)
    for (int c = 1; c < 3; ++c)
      for (uint8_t& v : doc.colour(c)) v ^= 0x80;  // signed a and b, offset by 128 here
  if (associated && (mode == kModeGrey || mode == kModeRGB)) {
    const Plane& a = *doc.transparency;
    for (int c = 0; c < colours; ++c) {
      Plane& p = doc.colour(c);
      for (size_t i = 0; i < p.size(); ++i)
        if (a[i] != 0) p[i] = static_cast<uint8_t>(std::min(255, (p[i] * 255 + a[i] / 2) / a[i]));
    }
  }
  return doc;
}

// ----------------------------------------------------------------- PNG ----

// Everything the codec touches after setjmp lives here, on the heap: a
// longjmp runs no destructors and may lose what registers held.
struct PngState {
  std::string refusal;
  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0;
  const uint8_t* in = nullptr;
  size_t size = 0;
  size_t at = 0;
  std::vector<uint8_t>* out = nullptr;
  char error[256] = "";
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
};

void pngError(png_structp png, png_const_charp message) {
  auto* s = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(s->error, sizeof s->error, "%s", message);
  png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}
void pngRead(png_structp png, png_bytep out, size_t n) {
  auto* s = static_cast<PngState*>(png_get_io_ptr(png));
  if (s->size - s->at < n) png_error(png, "the file is truncated");
  std::memcpy(out, s->in + s->at, n);
  s->at += n;
}
void pngWrite(png_structp png, png_bytep data, size_t n) {
  auto* s = static_cast<PngState*>(png_get_io_ptr(png));
  s->out->insert(s->out->end(), data, data + n);
}
void pngFlush(png_structp) {}

Document decodePng(const uint8_t* bytes, size_t size, const std::string& name) {
  auto state = std::make_unique<PngState>();
  PngState& st = *state;
  st.in = bytes;
  st.size = size;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &st, pngError, pngWarning);
  if (png == nullptr) throw Failure(name + ": out of memory");
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw Failure(name + ": not a readable PNG file: " + st.error);
  }
  png_set_read_fn(png, &st, pngRead);
  png_set_user_limits(png, kMaxDocumentSide, kMaxDocumentSide);
  png_read_info(png, info);
  png_get_IHDR(png, info, &st.width, &st.height, &st.depth, &st.colourType, nullptr, nullptr, nullptr);
  if (st.colourType == PNG_COLOR_TYPE_PALETTE) st.refusal = "indexed colour is not supported";
  else if (st.depth != 8) st.refusal = std::to_string(st.depth) + "-bit samples are not supported (8-bit images only)";
  if (st.refusal.empty()) {
    try {
      checkSize(name, st.width, st.height);
    } catch (const Failure& f) {
      st.refusal = std::string(f.what()).substr(name.size() + 2);
    }
  }
  if (!st.refusal.empty()) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw Failure(name + ": " + st.refusal);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t channels = png_get_channels(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  if (rowBytes < channels * st.width) png_error(png, "unexpected row size");
  st.pixels.resize(rowBytes * st.height);
  st.rows.resize(st.height);
  for (png_uint_32 y = 0; y < st.height; ++y) st.rows[y] = st.pixels.data() + y * rowBytes;
  png_read_image(png, st.rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);

  const bool grey = (st.colourType & PNG_COLOR_MASK_COLOR) == 0;
  const bool alpha = (st.colourType & PNG_COLOR_MASK_ALPHA) != 0;
  Document result(grey ? kModeGrey : kModeRGB, static_cast<int32_t>(st.width), static_cast<int32_t>(st.height));
  if (alpha) result.transparency = result.newPlane(0);
  std::vector<Plane*> planes;
  for (int c = 0; c < result.colourCount(); ++c) planes.push_back(&result.colour(c));
  if (alpha) planes.push_back(&*result.transparency);
  for (png_uint_32 y = 0; y < st.height; ++y)
    deinterleaveRow(planes, st.rows[y], result.width(), static_cast<int32_t>(y), channels);
  return result;
}

// The part of writing that libpng may jump out of; it keeps nothing on the
// stack of the function that called setjmp.
void writePngRows(png_structp png, png_infop info, PngState& state, const std::vector<const Plane*>& planes,
                  int32_t width, int32_t height) {
  const size_t channels = planes.size();
  const int type = channels == 1   ? PNG_COLOR_TYPE_GRAY
                   : channels == 2 ? PNG_COLOR_TYPE_GRAY_ALPHA
                   : channels == 3 ? PNG_COLOR_TYPE_RGB
                                   : PNG_COLOR_TYPE_RGB_ALPHA;
  png_set_write_fn(png, &state, pngWrite, pngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < height; ++y) {
    const size_t base = static_cast<size_t>(y) * static_cast<size_t>(width);
    for (size_t c = 0; c < channels; ++c) {
      const uint8_t* in = planes[c]->data() + base;
      uint8_t* o = state.pixels.data() + c;
      for (int32_t x = 0; x < width; ++x, o += channels) *o = in[x];
    }
    png_write_row(png, state.pixels.data());
  }
  png_write_end(png, nullptr);
}

void encodePng(const std::vector<const Plane*>& planes, int32_t width, int32_t height,
               std::vector<uint8_t>& out, const std::string& name) {
  auto state = std::make_unique<PngState>();
  state->out = &out;
  state->pixels.resize(planes.size() * static_cast<size_t>(width));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state.get(), pngError, pngWarning);
  if (png == nullptr) throw Failure(name + ": out of memory");
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw Failure(name + ": cannot be written: " + state->error);
  }
  writePngRows(png, info, *state, planes, width, height);
  png_destroy_write_struct(&png, &info);
}

// ---------------------------------------------------------------- JPEG ----

struct JpegError {
  jpeg_error_mgr manager;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void jpegExit(j_common_ptr info) {
  auto* e = reinterpret_cast<JpegError*>(info->err);
  info->err->format_message(info, e->message);
  longjmp(e->jump, 1);
}
void jpegMessage(j_common_ptr) {}
// Warnings are the decoder's business, but for two that say the data ended
// before the image did: the file itself (a cut file), or the compressed
// data of a scan (a marker came first). The decoder would make the rest up
// (grey), so such a file, or a header of a few bytes announcing millions of
// pixels, would open as if it were whole; it is refused like a cut TIFF or
// PNG.
void jpegWarning(j_common_ptr info, int level) {
  if (level < 0 && (info->err->msg_code == JWRN_JPEG_EOF || info->err->msg_code == JWRN_HIT_MARKER))
    jpegExit(info);
}

// Everything the decoder touches after setjmp lives here, on the heap: a
// longjmp runs no destructors and may lose what registers held.
struct JpegState {
  jpeg_decompress_struct info;
  JpegError error;
  std::vector<uint8_t> line;
  std::unique_ptr<Document> doc;
  std::vector<Plane*> planes;
  std::string refusal;
};

Document decodeJpeg(const uint8_t* bytes, size_t size, const std::string& name) {
  auto s = std::make_unique<JpegState>();
  s->info.err = jpeg_std_error(&s->error.manager);
  s->error.manager.error_exit = jpegExit;
  s->error.manager.output_message = jpegMessage;
  s->error.manager.emit_message = jpegWarning;
  if (setjmp(s->error.jump)) {
    jpeg_destroy_decompress(&s->info);
    throw Failure(name + ": not a readable JPEG file: " + s->error.message);
  }
  jpeg_create_decompress(&s->info);
  jpeg_mem_src(&s->info, bytes, static_cast<unsigned long>(size));
  jpeg_read_header(&s->info, TRUE);
  int16_t mode = 0;
  switch (s->info.jpeg_color_space) {
    case JCS_GRAYSCALE: s->info.out_color_space = JCS_GRAYSCALE; mode = kModeGrey; break;
    case JCS_YCbCr:
    case JCS_RGB: s->info.out_color_space = JCS_RGB; mode = kModeRGB; break;
    case JCS_CMYK:
    case JCS_YCCK: s->info.out_color_space = JCS_CMYK; mode = kModeCMYK; break;
    default: s->refusal = "this JPEG colour space is not supported"; break;
  }
  if (s->refusal.empty() && s->info.data_precision != 8)
    s->refusal = std::to_string(s->info.data_precision) + "-bit samples are not supported (8-bit images only)";
  if (s->refusal.empty()) {
    try {
      checkSize(name, s->info.image_width, s->info.image_height);
      s->doc = std::make_unique<Document>(mode, static_cast<int32_t>(s->info.image_width),
                                          static_cast<int32_t>(s->info.image_height));
    } catch (const Failure& f) {
      s->refusal = std::string(f.what()).substr(std::min(name.size() + 2, std::strlen(f.what())));
    }
  }
  if (!s->refusal.empty()) {
    jpeg_destroy_decompress(&s->info);
    throw Failure(name + ": " + s->refusal);
  }
  jpeg_start_decompress(&s->info);
  if (s->info.output_components != s->doc->colourCount()) {
    jpeg_destroy_decompress(&s->info);
    throw Failure(name + ": unexpected number of components");
  }
  s->line.resize(static_cast<size_t>(s->info.output_components) * s->info.output_width);
  for (int c = 0; c < s->doc->colourCount(); ++c) s->planes.push_back(&s->doc->colour(c));
  while (s->info.output_scanline < s->info.output_height) {
    const auto y = static_cast<int32_t>(s->info.output_scanline);
    JSAMPROW row = s->line.data();
    if (jpeg_read_scanlines(&s->info, &row, 1) != 1) break;
    deinterleaveRow(s->planes, s->line.data(), s->doc->width(), y, static_cast<size_t>(s->info.output_components));
  }
  // Files with an Adobe marker store CMYK as the complement of the ink.
  const bool invertedCmyk = mode == kModeCMYK && s->info.saw_Adobe_marker;
  jpeg_finish_decompress(&s->info);
  jpeg_destroy_decompress(&s->info);
  if (invertedCmyk)
    for (int c = 0; c < 4; ++c)
      for (uint8_t& v : s->doc->colour(c)) v = static_cast<uint8_t>(255 - v);
  return std::move(*s->doc);
}

bool targetIsMaskPlane(const Target& t) {
  return t.kind == Target::LayerMask || t.kind == Target::QuickMask || t.kind == Target::Alpha ||
         t.kind == Target::Transparency;
}

}  // namespace

void setMaxOpenPixels(size_t pixels) { gMaxOpenPixels = pixels; }

std::vector<uint8_t> readWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Failure(file.string() + ": cannot be opened: " + std::strerror(errno));
  std::vector<uint8_t> bytes;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) throw Failure(file.string() + ": cannot be read");
  bytes.resize(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) throw Failure(file.string() + ": cannot be read");
  return bytes;
}

Document openImage(const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) throw Failure(file.string() + ": is a folder, not an image");
  const std::vector<uint8_t> bytes = readWholeFile(file);
  Document doc = decodeImage(bytes.data(), bytes.size(), file.string());
  // A layer with a transparency is filtered with it, as an editor hands a
  // filter the layer's colours and its transparency: the mask lands there.
  if (doc.transparency) doc.target.kind = Target::Transparency;
  return doc;
}

Document decodeImage(const uint8_t* bytes, size_t size, const std::string& name) {
  auto startsWith = [&](std::initializer_list<uint8_t> magic) {
    return size >= magic.size() && std::equal(magic.begin(), magic.end(), bytes);
  };
  if (startsWith({'I', 'I', 42, 0}) || startsWith({'M', 'M', 0, 42}) || startsWith({'I', 'I', 43, 0}) ||
      startsWith({'M', 'M', 0, 43}))
    return decodeTiff(bytes, size, name);
  if (startsWith({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return decodePng(bytes, size, name);
  if (startsWith({0xFF, 0xD8, 0xFF})) return decodeJpeg(bytes, size, name);
  if (size == 0) throw Failure(name + ": the file is empty");
  throw Failure(name + ": not a TIFF, PNG or JPEG image");
}

void saveImage(const Document& doc, const std::filesystem::path& file) {
  const std::string ext = lowerExtension(file);
  if (ext == ".tif" || ext == ".tiff") return saveTiff(doc, file);
  if (ext == ".png") {
    Document copy = doc;
    return savePng(copy, file);
  }
  throw Failure(file.string() + ": images are saved as .tif or .png");
}

void saveTiff(const Document& doc, const std::filesystem::path& file) {
  writeFileAtomically(file, encodeTiff(doc, file.string()));
}

std::vector<uint8_t> encodeTiff(const Document& doc, const std::string& name) {
  struct Extra {
    const Plane* plane;
    uint16_t type;
    std::string name;
  };
  std::vector<Extra> extras;
  if (doc.transparency) extras.push_back({&*doc.transparency, EXTRASAMPLE_UNASSALPHA, ""});
  if (doc.layerMask) extras.push_back({&*doc.layerMask, EXTRASAMPLE_UNSPECIFIED, "Layer Mask"});
  for (const AlphaChannel& a : doc.alphas) extras.push_back({&a.data, EXTRASAMPLE_UNSPECIFIED, a.name});
  if (doc.quickMask) extras.push_back({&*doc.quickMask, EXTRASAMPLE_UNSPECIFIED, "Quick Mask"});

  std::vector<const Plane*> planes;
  for (int c = 0; c < doc.colourCount(); ++c) planes.push_back(&doc.colour(c));
  std::vector<uint16_t> extraTypes;
  std::vector<std::string> names;
  for (const Extra& e : extras) {
    planes.push_back(e.plane);
    extraTypes.push_back(e.type);
    if (e.type == EXTRASAMPLE_UNSPECIFIED) names.push_back(e.name);
  }
  std::vector<ImageResource> resources;
  if (!names.empty()) resources.push_back({kResourceAlphaNames, "", encodeAlphaNames(names)});
  if (!doc.workPath.empty()) {
    resources.push_back({kResourceWorkPath, "", doc.workPath});
    resources.push_back({kResourceFirstSavedPath, "Work Path", doc.workPath});
  }

  std::vector<uint8_t> out;
  TiffMemory memory{nullptr, &out, 0, 0};
  {
    TiffPtr tif = openTiffClient(name, "w", memory);
    if (!tif) throw Failure(name + ": cannot be written: " + tiffReason("libtiff refused"));
    TIFF* t = tif.get();
    const auto samples = static_cast<uint16_t>(planes.size());
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(doc.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(doc.height()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    switch (doc.mode()) {
      case kModeGrey: TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK); break;
      case kModeRGB: TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB); break;
      case kModeCMYK:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
        TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
        break;
      case kModeLab: TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CIELAB); break;
      default: break;
    }
    if (!extraTypes.empty())
      TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(extraTypes.size()), extraTypes.data());
    const std::vector<uint8_t> block = encodeImageResources(resources);
    if (!block.empty()) TIFFSetField(t, TIFFTAG_PHOTOSHOP, static_cast<uint32_t>(block.size()), block.data());
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));

    std::vector<uint8_t> line(planes.size() * static_cast<size_t>(doc.width()));
    for (int32_t y = 0; y < doc.height(); ++y) {
      const size_t base = static_cast<size_t>(y) * static_cast<size_t>(doc.width());
      for (size_t p = 0; p < planes.size(); ++p) {
        const uint8_t* in = planes[p]->data() + base;
        const bool signedAb = doc.mode() == kModeLab && (p == 1 || p == 2);
        uint8_t* o = line.data() + p;
        for (int32_t x = 0; x < doc.width(); ++x, o += planes.size()) *o = signedAb ? in[x] ^ 0x80 : in[x];
      }
      if (TIFFWriteScanline(t, line.data(), static_cast<uint32_t>(y), 0) < 0)
        throw Failure(name + ": cannot be written: " + tiffReason("libtiff refused"));
    }
    if (!TIFFWriteDirectory(t)) throw Failure(name + ": cannot be written: " + tiffReason("libtiff refused"));
  }
  return out;
}

void savePng(Document& doc, const std::filesystem::path& file) {
  std::vector<Plane> converted;
  std::vector<const Plane*> planes;
  if (doc.mode() == kModeGrey || doc.mode() == kModeRGB) {
    for (int c = 0; c < doc.colourCount(); ++c) planes.push_back(&doc.colour(c));
  } else {
    // PNG holds greyscale or RGB only: other modes go to sRGB.
    const size_t n = doc.pixelCount();
    const auto channels = static_cast<size_t>(doc.colourCount());
    std::vector<uint8_t> interleaved(n * channels), rgb(n * 3);
    for (size_t c = 0; c < channels; ++c)
      for (size_t i = 0; i < n; ++i) interleaved[i * channels + c] = doc.colour(static_cast<int>(c))[i];
    toRgb(doc.mode(), interleaved.data(), n, channels, rgb.data());
    converted.assign(3, Plane(n));
    for (size_t i = 0; i < n; ++i)
      for (size_t c = 0; c < 3; ++c) converted[c][i] = rgb[i * 3 + c];
    for (const Plane& p : converted) planes.push_back(&p);
  }
  if (targetIsMaskPlane(doc.target)) planes.push_back(&doc.targetPlane());
  else if (doc.transparency) planes.push_back(&*doc.transparency);
  std::vector<uint8_t> out;
  encodePng(planes, doc.width(), doc.height(), out, file.string());
  writeFileAtomically(file, out);
}

void saveGreyPng(const Plane& plane, int32_t width, int32_t height, const std::filesystem::path& file) {
  if (lowerExtension(file) != ".png") throw Failure(file.string() + ": the mask is saved as .png");
  std::vector<uint8_t> out;
  encodePng({&plane}, width, height, out, file.string());
  writeFileAtomically(file, out);
}

void savePath(const Document& doc, const std::filesystem::path& file) {
  const std::string ext = lowerExtension(file);
  if (ext != ".svg" && ext != ".bin") throw Failure(file.string() + ": the path is saved as .svg or .bin");
  if (doc.workPath.empty()) throw Failure(file.string() + ": the document has no work path");
  if (ext == ".bin") return writeFileAtomically(file, doc.workPath);
  const std::string svg = pathToSvg(decodePath(doc.workPath, doc.width(), doc.height()), doc.width(), doc.height());
  writeFileAtomically(file, std::vector<uint8_t>(svg.begin(), svg.end()));
}

}  // namespace host
