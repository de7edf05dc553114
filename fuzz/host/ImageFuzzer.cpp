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
#include <string>
#include <vector>

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

// A quarter of the host's own limit (256 Mi pixels), so that the sizes a
// user may open are explored: at eight bytes a pixel a document is then at
// most 512 MiB, and with its saved copy and the reloaded one it stays
// within libFuzzer's default memory limit of 2 GiB. At the host's full
// limit one input could need 6 GiB; the loops that scale are the same.
constexpr size_t kMaxPixels = size_t{64} << 20;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  host::setMaxOpenPixels(kMaxPixels);
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

  // The round trip stays in memory: saving to disk is not what is being
  // fuzzed, and a disk write per input would be most of the time spent.
  const std::vector<uint8_t> saved = host::encodeTiff(doc, kName);
  const host::Document back = host::decodeImage(saved.data(), saved.size(), kName);
  check(back.mode() == doc.mode() && back.width() == doc.width() && back.height() == doc.height(), "round trip size");
  for (int c = 0; c < doc.colourCount(); ++c) check(back.colour(c) == doc.colour(c), "round trip colour");
  check(back.transparency == doc.transparency, "round trip transparency");
  check(back.alphas.size() == doc.alphas.size(), "round trip alpha count");
  for (size_t i = 0; i < doc.alphas.size(); ++i) check(back.alphas[i].data == doc.alphas[i].data, "round trip alpha");
  check(back.workPath == doc.workPath, "round trip path");
  return 0;
}
