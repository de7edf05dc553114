// Makes the bundled example: a round, furry foreground object on a textured
// background, with soft edges, as an RGB PNG, and beside it the object's
// true coverage as a greyscale PNG (NAME-matte.png), against which masks
// made from the image can be judged. Deterministic: the same program writes
// the same bytes.
//   tessaly-make-example OUTPUT.png [WIDTH HEIGHT]
#include <cmath>
#include <filesystem>
#include <cstdint>
#include <iostream>
#include <string>

#include "host/Document.h"
#include "host/Failure.h"
#include "host/ImageFiles.h"

namespace {

// A small integer hash standing in for chance.
uint32_t hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

double noise(double x, double y, uint32_t seed) {
  // Value noise, bilinear between lattice points.
  const double fx = std::floor(x), fy = std::floor(y);
  const double tx = x - fx, ty = y - fy;
  auto at = [&](double ix, double iy) {
    return hash(static_cast<uint32_t>(static_cast<int32_t>(ix)), static_cast<uint32_t>(static_cast<int32_t>(iy)), seed) /
           4294967295.0;
  };
  const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  const double a = at(fx, fy) + (at(fx + 1, fy) - at(fx, fy)) * sx;
  const double b = at(fx, fy + 1) + (at(fx + 1, fy + 1) - at(fx, fy + 1)) * sx;
  return a + (b - a) * sy;
}

double fractal(double x, double y, uint32_t seed) {
  double sum = 0, scale = 1, weight = 0.5;
  for (int octave = 0; octave < 4; ++octave) {
    sum += weight * noise(x * scale, y * scale, seed + static_cast<uint32_t>(octave));
    scale *= 2;
    weight *= 0.5;
  }
  return sum / 0.9375;
}

uint8_t clampByte(double v) { return static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v)))); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::cerr << "usage: tessaly-make-example OUTPUT.png [WIDTH HEIGHT]\n";
    return 1;
  }
  const int32_t width = argc == 4 ? std::stoi(argv[2]) : 640;
  const int32_t height = argc == 4 ? std::stoi(argv[3]) : 480;
  try {
    host::Document doc(host::kModeRGB, width, height);
    host::Plane matte = doc.newPlane(0);
    const double cx = width * 0.52, cy = height * 0.5, radius = std::fmin(width, height) * 0.3;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        // Background: green-grey foliage texture with diagonal streaks.
        const double t = fractal(x / 48.0, y / 48.0, 7);
        const double streak = 0.5 + 0.5 * std::sin((x + y) / 9.0 + 6 * fractal(x / 90.0, y / 90.0, 3));
        const double bgR = 70 + 60 * t + 15 * streak, bgG = 105 + 70 * t + 20 * streak, bgB = 60 + 40 * t;
        // Foreground: an orange ball whose rim is furry: the radius varies
        // with the angle and the coverage falls off over a few pixels.
        const double dx = x - cx, dy = y - cy;
        const double angle = std::atan2(dy, dx);
        const double fur = 6 * noise(angle * 40 + 100, 0.5, 11) + 3 * std::sin(angle * 7);
        const double edge = radius + fur - std::sqrt(dx * dx + dy * dy);
        const double alpha = 1 / (1 + std::exp(-edge / 1.8));
        const double shade = 0.75 + 0.25 * (-(dx + dy) / (radius * 1.5));
        const double spots = fractal(x / 14.0, y / 14.0, 21);
        const double fgR = (235 - 40 * spots) * shade, fgG = (130 - 50 * spots) * shade, fgB = (40 + 20 * spots) * shade;
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
        doc.colour(0)[i] = clampByte(fgR * alpha + bgR * (1 - alpha));
        doc.colour(1)[i] = clampByte(fgG * alpha + bgG * (1 - alpha));
        doc.colour(2)[i] = clampByte(fgB * alpha + bgB * (1 - alpha));
        matte[i] = clampByte(255 * alpha);
      }
    host::saveImage(doc, argv[1]);
    std::filesystem::path mattePath = argv[1];
    mattePath.replace_filename(mattePath.stem().string() + "-matte.png");
    host::saveGreyPng(matte, width, height, mattePath);
  } catch (const host::Failure& f) {
    std::cerr << "tessaly-make-example: " << f.what() << "\n";
    return 1;
  }
  return 0;
}
