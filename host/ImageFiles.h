// Reading and writing documents: TIFF, PNG and JPEG in; TIFF and PNG out,
// the target plane as a greyscale PNG, the work path as SVG or raw records.
// Files are untrusted: every problem ends in a Failure whose message names
// the file and the reason, never in a crash.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "host/Document.h"

namespace host {

// The most pixels a document opened from a file may have (the fuzzer lowers
// it so that a forged header cannot ask for gigabytes).
void setMaxOpenPixels(size_t pixels);

Document openImage(const std::filesystem::path& file);
// `name` is only used in messages.
Document decodeImage(const uint8_t* bytes, size_t size, const std::string& name);

// Every save goes through writeFileAtomically (AtomicWrite.h).
// By extension: .tif/.tiff or .png.
void saveImage(const Document& doc, const std::filesystem::path& file);
void saveTiff(const Document& doc, const std::filesystem::path& file);
// The bytes saveTiff writes; `name` is only used in messages.
std::vector<uint8_t> encodeTiff(const Document& doc, const std::string& name);
// The composite, with the target plane as alpha when the target is a single
// mask plane, else with the transparency; CMYK and Lab become sRGB.
void savePng(Document& doc, const std::filesystem::path& file);
void saveGreyPng(const Plane& plane, int32_t width, int32_t height, const std::filesystem::path& file);
// By extension: .svg or .bin (the raw path records).
void savePath(const Document& doc, const std::filesystem::path& file);

std::vector<uint8_t> readWholeFile(const std::filesystem::path& file);

}  // namespace host
