// Documents in and out of files: what a save writes comes back on opening,
// other programs' variants are read, and files this host cannot use are
// refused with a message naming the file and the reason.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "TempFolder.h"
#include "host/Failure.h"
#include "host/ImageFiles.h"
#include "host/PathRecords.h"
#include "host/PhotoshopResources.h"

namespace {

using host::Document;
using host::Plane;
using host_testing::TempFolder;

Document patterned(int16_t mode, int w, int h) {
  Document doc(mode, w, h);
  for (int c = 0; c < doc.colourCount(); ++c)
    for (size_t i = 0; i < doc.pixelCount(); ++i) doc.colour(c)[i] = static_cast<uint8_t>(i * (c + 3) + c * 40);
  return doc;
}

void expectSameDocument(const Document& a, const Document& b) {
  ASSERT_EQ(a.mode(), b.mode());
  ASSERT_EQ(a.width(), b.width());
  ASSERT_EQ(a.height(), b.height());
  for (int c = 0; c < a.colourCount(); ++c) EXPECT_EQ(a.colour(c), b.colour(c)) << "colour channel " << c;
  EXPECT_EQ(a.transparency, b.transparency);
  ASSERT_EQ(a.alphas.size(), b.alphas.size());
  for (size_t i = 0; i < a.alphas.size(); ++i) {
    EXPECT_EQ(a.alphas[i].name, b.alphas[i].name);
    EXPECT_EQ(a.alphas[i].data, b.alphas[i].data) << "alpha channel " << a.alphas[i].name;
  }
  EXPECT_EQ(a.workPath, b.workPath);
}

void writeBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

std::string refusalOf(const std::filesystem::path& file) {
  try {
    host::openImage(file);
  } catch (const host::Failure& f) {
    return f.what();
  }
  return "(opened)";
}

// A minimal TIFF written with libtiff, for variants this host does not save.
void writeTiff(const std::filesystem::path& file, uint16_t bits, uint16_t photometric, uint16_t samples,
               const std::vector<uint16_t>& extras = {}, uint16_t planar = PLANARCONFIG_CONTIG) {
  TIFF* t = TIFFOpen(file.c_str(), "w");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 4);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, 3);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, planar);
  if (!extras.empty()) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<uint16_t>(extras.size()), extras.data());
  if (photometric == PHOTOMETRIC_PALETTE) {
    std::vector<uint16_t> map(size_t{1} << bits, 0);
    TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
  }
  const size_t perPlane = planar == PLANARCONFIG_CONTIG ? samples : 1;
  std::vector<uint8_t> row(4 * perPlane * bits / 8 + 8);
  const uint16_t passes = planar == PLANARCONFIG_CONTIG ? 1 : samples;
  for (uint16_t s = 0; s < passes; ++s)
    for (uint32_t y = 0; y < 3; ++y) {
      for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(10 * s + y * 50 + i);
      TIFFWriteScanline(t, row.data(), y, s);
    }
  TIFFClose(t);
}

TEST(TiffRoundTrip, KeepsEveryPlaneNameAndTheWorkPathInEachMode) {
  TempFolder folder;
  for (int16_t mode : {host::kModeGrey, host::kModeRGB, host::kModeCMYK, host::kModeLab}) {
    Document doc = patterned(mode, 37, 21);
    doc.transparency = doc.newPlane(0);
    for (size_t i = 0; i < doc.pixelCount(); ++i) (*doc.transparency)[i] = static_cast<uint8_t>(255 - i);
    doc.alphas.push_back({"Mask", doc.newPlane(12)});
    doc.alphas.push_back({"Hair and fur", doc.newPlane(200)});
    doc.workPath = host::encodePath({{true, {{{1, 2}, {3, 4}, {5, 6}}, {{10, 2}, {10, 2}, {10, 2}}}}}, 37, 21);
    const auto file = folder / ("doc" + std::to_string(mode) + ".tif");
    host::saveImage(doc, file);
    expectSameDocument(doc, host::openImage(file));
  }
}

TEST(TiffRoundTrip, SavesTheWorkPathAlsoAsASavedPathOtherProgramsRead) {
  TempFolder folder;
  Document doc = patterned(host::kModeRGB, 10, 10);
  doc.workPath = host::encodePath({{true, {{{1, 1}, {1, 1}, {1, 1}}, {{8, 8}, {8, 8}, {8, 8}}}}}, 10, 10);
  host::saveImage(doc, folder / "p.tif");
  TIFF* t = TIFFOpen((folder / "p.tif").c_str(), "r");
  ASSERT_NE(t, nullptr);
  uint32_t size = 0;
  void* data = nullptr;
  ASSERT_TRUE(TIFFGetField(t, TIFFTAG_PHOTOSHOP, &size, &data));
  const auto resources = host::decodeImageResources(static_cast<const uint8_t*>(data), size);
  TIFFClose(t);
  bool work = false, saved = false;
  for (const auto& r : resources) {
    if (r.id == host::kResourceWorkPath) work = r.data == doc.workPath;
    if (r.id == host::kResourceFirstSavedPath) saved = r.data == doc.workPath && r.name == "Work Path";
  }
  EXPECT_TRUE(work) << "resource 1025 holds the work path";
  EXPECT_TRUE(saved) << "resource 2000 \"Work Path\" holds the same records";
}

TEST(TiffReading, ReadsPlanarFilesMinIsWhiteAndExtraSamples) {
  TempFolder folder;
  writeTiff(folder / "planar.tif", 8, PHOTOMETRIC_RGB, 5, {EXTRASAMPLE_UNSPECIFIED, EXTRASAMPLE_UNASSALPHA},
            PLANARCONFIG_SEPARATE);
  const Document planar = host::openImage(folder / "planar.tif");
  EXPECT_EQ(planar.mode(), host::kModeRGB);
  ASSERT_TRUE(planar.transparency.has_value()) << "the first alpha extra sample is the transparency";
  ASSERT_EQ(planar.alphas.size(), 1u) << "the unspecified extra sample is an alpha channel";
  EXPECT_EQ(planar.alphas[0].name, "Alpha 1");
  EXPECT_EQ(planar.colour(1)[0], 10);
  EXPECT_EQ(planar.alphas[0].data[4 + 1], 30 + 50 + 1);
  EXPECT_EQ((*planar.transparency)[0], 40);

  writeTiff(folder / "white.tif", 8, PHOTOMETRIC_MINISWHITE, 1);
  const Document white = host::openImage(folder / "white.tif");
  EXPECT_EQ(white.mode(), host::kModeGrey);
  EXPECT_EQ(white.colour(0)[0], 255) << "min-is-white 0 is white";
}

// The value of sample s of pixel (x, y) in the tiled files below: distinct
// enough that a pixel read from the wrong place shows.
uint8_t tiledValue(uint32_t x, uint32_t y, uint32_t s) { return static_cast<uint8_t>(x * 5 + y * 11 + s * 70); }

// An RGB image with an unspecified extra sample in tiles, by default 40 x 24
// pixels in 16 x 16 tiles: the last column and row of tiles reach past the
// image. The parts of the tiles outside it hold 0xEE, which must never be
// read.
void writeTiledTiff(const std::filesystem::path& file, uint16_t planar, uint32_t width = 40,
                    uint32_t height = 24, uint32_t tileWidth = 16, uint32_t tileLength = 16) {
  constexpr uint32_t kSamples = 4;
  TIFF* t = TIFFOpen(file.c_str(), "w");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, kSamples);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, planar);
  const uint16_t extra = EXTRASAMPLE_UNSPECIFIED;
  TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
  TIFFSetField(t, TIFFTAG_TILEWIDTH, tileWidth);
  TIFFSetField(t, TIFFTAG_TILELENGTH, tileLength);
  const bool contiguous = planar == PLANARCONFIG_CONTIG;
  const uint32_t perPixel = contiguous ? kSamples : 1;
  std::vector<uint8_t> tile(tileWidth * tileLength * perPixel);
  for (uint32_t s = 0; s < (contiguous ? 1 : kSamples); ++s)
    for (uint32_t y0 = 0; y0 < height; y0 += tileLength)
      for (uint32_t x0 = 0; x0 < width; x0 += tileWidth) {
        for (uint32_t r = 0; r < tileLength; ++r)
          for (uint32_t c = 0; c < tileWidth; ++c)
            for (uint32_t p = 0; p < perPixel; ++p) {
              const uint32_t x = x0 + c, y = y0 + r;
              tile[(r * tileWidth + c) * perPixel + p] =
                  x < width && y < height ? tiledValue(x, y, contiguous ? p : s) : 0xEE;
            }
        ASSERT_GE(TIFFWriteTile(t, tile.data(), x0, y0, 0, static_cast<uint16_t>(s)), 0);
      }
  TIFFClose(t);
}

// Every sample of a document read from writeTiledTiff's file.
void expectTiledValues(const Document& doc, uint32_t width, uint32_t height, const char* what) {
  ASSERT_EQ(doc.width(), static_cast<int32_t>(width));
  ASSERT_EQ(doc.height(), static_cast<int32_t>(height));
  ASSERT_EQ(doc.alphas.size(), 1u);
  std::vector<const Plane*> planes = {&doc.colour(0), &doc.colour(1), &doc.colour(2), &doc.alphas[0].data};
  int wrong = 0;
  for (uint32_t s = 0; s < planes.size(); ++s)
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x)
        if ((*planes[s])[y * width + x] != tiledValue(x, y, s) && ++wrong <= 5)
          ADD_FAILURE() << what << " sample " << s << " at (" << x << ", " << y
                        << "): " << int((*planes[s])[y * width + x]) << ", expected " << int(tiledValue(x, y, s));
  EXPECT_EQ(wrong, 0);
}

TEST(TiffReading, ReadsTiledFilesWhoseSizeIsNoMultipleOfTheTile) {
  TempFolder folder;
  for (const uint16_t planar : {PLANARCONFIG_CONTIG, PLANARCONFIG_SEPARATE}) {
    writeTiledTiff(folder / "tiled.tif", planar);
    expectTiledValues(host::openImage(folder / "tiled.tif"), 40, 24,
                      planar == PLANARCONFIG_CONTIG ? "contiguous" : "planar");
  }
}

// A tile is read whole: one far larger than its image would let a file of a
// few hundred bytes take gigabytes. Common tile sizes on a small image, and
// tiles reaching past the image by the usual rounding, still read.
TEST(TiffReading, RefusesTilesFarLargerThanTheImage) {
  TempFolder folder;
  writeTiledTiff(folder / "small.tif", PLANARCONFIG_CONTIG, 10, 6, 1024, 1024);
  expectTiledValues(host::openImage(folder / "small.tif"), 10, 6, "1024 x 1024 tiles");
  writeTiledTiff(folder / "rounded.tif", PLANARCONFIG_CONTIG, 1100, 20, 1104, 16);
  expectTiledValues(host::openImage(folder / "rounded.tif"), 1100, 20, "1104 x 16 tiles");
  for (const auto& [width, length] : {std::pair<uint32_t, uint32_t>{1040, 16}, {16, 1040}}) {
    writeTiledTiff(folder / "huge.tif", PLANARCONFIG_CONTIG, 10, 6, width, length);
    EXPECT_EQ(refusalOf(folder / "huge.tif"), (folder / "huge.tif").string() + ": tiles of " + std::to_string(width) +
                                                  " x " + std::to_string(length) + " pixels are far larger than the image");
  }
}

TEST(PngRoundTrip, KeepsGreyAndColourWithTransparency) {
  TempFolder folder;
  for (int16_t mode : {host::kModeGrey, host::kModeRGB}) {
    Document doc = patterned(mode, 13, 9);
    doc.transparency = doc.newPlane(128);
    host::saveImage(doc, folder / "x.png");
    expectSameDocument(doc, host::openImage(folder / "x.png"));
  }
}

TEST(PngSaving, UsesAMaskTargetAsAlphaAndConvertsOtherModesToRgb) {
  TempFolder folder;
  Document doc(host::kModeCMYK, 4, 4, {0, 0, 0, 0});
  doc.alphas.push_back({"Mask", doc.newPlane(77)});
  doc.target = {host::Target::Alpha, "Mask", 0};
  host::saveImage(doc, folder / "c.png");
  const Document back = host::openImage(folder / "c.png");
  EXPECT_EQ(back.mode(), host::kModeRGB);
  ASSERT_TRUE(back.transparency.has_value());
  EXPECT_EQ((*back.transparency)[5], 77);
  EXPECT_GT(back.colour(0)[0], 230) << "no ink is white";
}

TEST(JpegReading, ReadsGreyColourAndInvertedAdobeCmyk) {
  TempFolder folder;
  auto writeJpeg = [&](const std::filesystem::path& file, J_COLOR_SPACE space, int components, uint8_t value) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    FILE* f = std::fopen(file.c_str(), "wb");
    jpeg_stdio_dest(&c, f);
    c.image_width = 16;
    c.image_height = 8;
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(16 * static_cast<size_t>(components), value);
    while (c.next_scanline < c.image_height) {
      JSAMPROW r = row.data();
      jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
  };
  writeJpeg(folder / "g.jpg", JCS_GRAYSCALE, 1, 90);
  writeJpeg(folder / "c.jpg", JCS_RGB, 3, 150);
  writeJpeg(folder / "k.jpg", JCS_CMYK, 4, 200);  // libjpeg writes an Adobe marker for CMYK
  const Document g = host::openImage(folder / "g.jpg");
  EXPECT_EQ(g.mode(), host::kModeGrey);
  EXPECT_NEAR(g.colour(0)[3], 90, 1);
  const Document c = host::openImage(folder / "c.jpg");
  EXPECT_EQ(c.mode(), host::kModeRGB);
  EXPECT_NEAR(c.colour(2)[3], 150, 2);
  const Document k = host::openImage(folder / "k.jpg");
  EXPECT_EQ(k.mode(), host::kModeCMYK);
  EXPECT_NEAR(k.colour(3)[3], 55, 2) << "Adobe CMYK is stored as the complement of the ink";
}

TEST(ImageRefusal, NamesTheFileAndWhatIsUnsupported) {
  TempFolder folder;
  writeTiff(folder / "deep.tif", 16, PHOTOMETRIC_RGB, 3);
  writeTiff(folder / "indexed.tif", 8, PHOTOMETRIC_PALETTE, 1);
  writeTiff(folder / "twoink.tif", 8, PHOTOMETRIC_SEPARATED, 2);
  writeTiff(folder / "manychannels.tif", 8, PHOTOMETRIC_MINISBLACK, 60, std::vector<uint16_t>(59, EXTRASAMPLE_UNSPECIFIED));
  writeBytes(folder / "empty.png", {});
  writeBytes(folder / "text.tif", {'h', 'e', 'l', 'l', 'o'});
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"deep.tif", "16 bits per sample is not supported"},
      {"indexed.tif", "indexed colour is not supported"},
      {"twoink.tif", "too few for CMYK"},
      {"manychannels.tif", "60 channels is more than this host opens"},
      {"empty.png", "the file is empty"},
      {"text.tif", "not a TIFF, PNG or JPEG image"},
      {"missing.png", "cannot be opened"},
  };
  for (const auto& [name, reason] : cases) {
    const std::string message = refusalOf(folder / name);
    EXPECT_NE(message.find((folder / name).string()), std::string::npos) << "names the file: " << message;
    EXPECT_NE(message.find(reason), std::string::npos) << name << ": " << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << "one line: " << message;
  }
}

// A JPEG of a pattern, compressed in memory.
std::vector<uint8_t> jpegOfPattern(int width, int height) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  while (c.next_scanline < c.image_height) {
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 7 + c.next_scanline * 13);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

TEST(ImageRefusal, TruncatedFilesAreRefusedAtEveryLength) {
  TempFolder folder;
  Document doc = patterned(host::kModeRGB, 20, 10);
  doc.transparency = doc.newPlane(9);
  writeBytes(folder / "full.jpg", jpegOfPattern(64, 48));
  ASSERT_NO_THROW(host::openImage(folder / "full.jpg"));
  for (const char* name : {"full.tif", "full.png", "full.jpg"}) {
    if (std::string(name) != "full.jpg") host::saveImage(doc, folder / name);
    const std::vector<uint8_t> bytes = host::readWholeFile(folder / name);
    for (size_t cut = 0; cut < bytes.size(); cut += std::max<size_t>(1, bytes.size() / 97)) {
      try {
        host::decodeImage(bytes.data(), cut, name);
      } catch (const host::Failure&) {
        continue;  // refused: what we want
      }
      // A cut that leaves a readable image is acceptable only if whole.
      ADD_FAILURE() << name << " cut at " << cut << " of " << bytes.size() << " was opened";
    }
  }
}

// A scan cut short and closed with the end-of-image marker, as a damaged
// file or a forged one of a few bytes may be: the decoder would invent the
// missing rows.
TEST(ImageRefusal, AJpegWhoseScanEndsBeforeTheImageIsRefused) {
  const std::vector<uint8_t> whole = jpegOfPattern(64, 48);
  ASSERT_NO_THROW(host::decodeImage(whole.data(), whole.size(), "whole.jpg"));
  // The scan's data starts after the start-of-scan marker's header.
  size_t scan = 0;
  for (size_t i = 0; i + 3 < whole.size() && scan == 0; ++i)
    if (whole[i] == 0xFF && whole[i + 1] == 0xDA) scan = i + 2 + (whole[i + 2] << 8 | whole[i + 3]);
  ASSERT_GT(scan, 0u);
  for (size_t cut = scan; cut + 2 < whole.size(); cut += std::max<size_t>(1, (whole.size() - scan) / 31)) {
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    EXPECT_THROW(host::decodeImage(bytes.data(), bytes.size(), "cut.jpg"), host::Failure) << "scan cut at " << cut;
  }
}

TEST(Saving, AFailedSaveLeavesTheExistingFileAndNoTemporaryFile) {
  TempFolder folder;
  const auto file = folder / "keep.svg";
  writeBytes(file, {'o', 'l', 'd'});
  Document doc(host::kModeGrey, 4, 4);
  EXPECT_THROW(host::savePath(doc, file), host::Failure) << "no work path to save";
  EXPECT_EQ(host::readWholeFile(file), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_THROW(host::saveImage(doc, folder / "missing" / "x.tif"), host::Failure);
  EXPECT_THROW(host::saveImage(doc, folder / "x.bmp"), host::Failure);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u) << "nothing but the original file is left";
}

TEST(PathFiles, SvgAndRawRecordsOfTheWorkPath) {
  TempFolder folder;
  Document doc(host::kModeGrey, 200, 100);
  doc.workPath = host::encodePath({{true, {{{50, 100}, {50, 100}, {50, 100}}, {{50, 150}, {50, 150}, {50, 150}},
                                           {{75, 150}, {75, 150}, {75, 150}}}}},
                                  200, 100);
  host::savePath(doc, folder / "p.svg");
  host::savePath(doc, folder / "p.bin");
  EXPECT_EQ(host::readWholeFile(folder / "p.bin"), doc.workPath);
  const auto svg = host::readWholeFile(folder / "p.svg");
  const std::string text(svg.begin(), svg.end());
  EXPECT_NE(text.find("viewBox=\"0 0 200 100\""), std::string::npos) << text;
  EXPECT_NE(text.find("M100.000 50.000"), std::string::npos) << "x then y, in pixels: " << text;
  EXPECT_NE(text.find(" Z"), std::string::npos) << text;
}

TEST(PathRecords, EncodeAsTheFixedPointFractionsOfTheDocumentSize) {
  // A 100 x 200 document (height 100, width 200); pixel (50, 100) is half
  // way both ways: 0x00800000.
  const auto records = host::encodePath({{true, {{{50, 100}, {50, 100}, {50, 100}}}}}, 200, 100);
  ASSERT_EQ(records.size(), 26u * 3);
  EXPECT_EQ(records[1], 6) << "fill rule record first";
  EXPECT_EQ(records[26 + 3], 1) << "one knot";
  const uint8_t* knot = records.data() + 52;
  EXPECT_EQ(knot[1], 2) << "closed, unlinked";
  const std::vector<uint8_t> half = {0x00, 0x80, 0x00, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(knot + 10, knot + 14), half);
  EXPECT_EQ(std::vector<uint8_t>(knot + 14, knot + 18), half);
  const auto decoded = host::decodePath(records, 200, 100);
  ASSERT_EQ(decoded.size(), 1u);
  EXPECT_DOUBLE_EQ(decoded[0].knots[0].anchor.v, 50);
  EXPECT_DOUBLE_EQ(decoded[0].knots[0].anchor.h, 100);
  auto broken = records;
  broken[26 + 3] = 2;  // announces two knots, holds one
  EXPECT_THROW(host::decodePath(broken, 200, 100), host::Failure);
}

}  // namespace
