// Feeds arbitrary bytes to the image loader as a file from elsewhere would
// arrive, and checks what must hold for any input:
// - opening ends with a document or a one-line refusal naming the file,
//   and never crashes;
// - a document that opens has the planes its mode and size promise, and a
//   work path it kept decodes;
// - what opened survives a TIFF save and a reload unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <string>

#include "host/Failure.h"
#include "host/ImageFiles.h"
#include "host/PathRecords.h"

namespace {

constexpr const char* kName = "fuzz-input";

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_image: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A forged header must not make the loader ask for gigabytes.
  host::setMaxOpenPixels(1 << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  host::Document doc(host::kModeGrey, 1, 1);
  try {
    doc = host::decodeImage(data, size, kName);
  } catch (const host::Failure& f) {
    const std::string message = f.what();
    check(message.rfind(kName, 0) == 0, "a refusal names the file");
    check(message.find('\n') == std::string::npos, "a refusal is one line");
    return 0;
  }
  const size_t pixels = doc.pixelCount();
  for (int c = 0; c < doc.colourCount(); ++c) check(doc.colour(c).size() == pixels, "colour plane size");
  if (doc.transparency) check(doc.transparency->size() == pixels, "transparency size");
  for (const host::AlphaChannel& a : doc.alphas) check(a.data.size() == pixels, "alpha channel size");
  if (!doc.workPath.empty()) host::decodePath(doc.workPath, doc.width(), doc.height());

  // The round trip goes through a file in memory only as far as the
  // encoder; saving to disk is not what is being fuzzed.
  char path[] = "/tmp/fuzz_image_XXXXXX.tif";
  const int fd = mkstemps(path, 4);
  if (fd < 0) return 0;
  close(fd);
  host::saveTiff(doc, path);
  const host::Document back = host::openImage(path);
  std::remove(path);
  check(back.mode() == doc.mode() && back.width() == doc.width() && back.height() == doc.height(), "round trip size");
  for (int c = 0; c < doc.colourCount(); ++c) check(back.colour(c) == doc.colour(c), "round trip colour");
  check(back.transparency == doc.transparency, "round trip transparency");
  check(back.alphas.size() == doc.alphas.size(), "round trip alpha count");
  for (size_t i = 0; i < doc.alphas.size(); ++i) check(back.alphas[i].data == doc.alphas[i].data, "round trip alpha");
  check(back.workPath == doc.workPath, "round trip path");
  return 0;
}
