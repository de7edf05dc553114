#include "resources/Pipl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Reads a property list back the way a host does.
struct Property {
  std::string vendor, key;
  std::vector<uint8_t> data;
};

class PiplReader {
 public:
  explicit PiplReader(const PiplResource& r) : bytes_(r.bytes.data()), size_(r.size) {}

  std::vector<Property> read() {
    EXPECT_EQ(int16(), 1) << "signature";
    EXPECT_EQ(int32(), 0) << "version";
    const int32_t count = int32();
    std::vector<Property> properties;
    for (int32_t i = 0; i < count; ++i) {
      Property p;
      p.vendor = code();
      p.key = code();
      EXPECT_EQ(int32(), 0) << "property id of " << p.key;
      const int32_t length = int32();
      p.data.assign(bytes_ + at_, bytes_ + at_ + length);
      at_ += (length + 3) / 4 * 4;
      properties.push_back(p);
    }
    EXPECT_EQ(at_, size_) << "nothing follows the last property";
    return properties;
  }

 private:
  int16_t int16() {
    int16_t v = static_cast<int16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
    at_ += 2;
    return v;
  }
  int32_t int32() {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | bytes_[at_ + static_cast<size_t>(i)];
    at_ += 4;
    return static_cast<int32_t>(v);
  }
  std::string code() {
    std::string s(reinterpret_cast<const char*>(bytes_ + at_), 4);
    at_ += 4;
    return std::string(s.rbegin(), s.rend());
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t at_ = 0;
};

std::string pascal(const std::vector<uint8_t>& d) { return std::string(d.begin() + 1, d.begin() + 1 + d[0]); }
std::string text(const std::vector<uint8_t>& d) { return std::string(d.begin(), d.end()); }

TEST(Pipl, FilterListDecodesFieldByField) {
  const auto p = PiplReader(kFilterPipl).read();
  ASSERT_EQ(p.size(), 7u);
  for (const auto& property : p) EXPECT_EQ(property.vendor, "8BIM");
  EXPECT_EQ(p[0].key, "kind");
  EXPECT_EQ(text(p[0].data), "MFB8") << "codes are stored byte-reversed";
  EXPECT_EQ(p[1].key, "name");
  EXPECT_EQ(pascal(p[1].data), "Tessaly...");
  EXPECT_EQ(p[2].key, "catg");
  EXPECT_EQ(pascal(p[2].data), "Corvane");
  EXPECT_EQ(p[3].key, "vers");
  EXPECT_EQ(p[3].data, (std::vector<uint8_t>{0x00, 0x00, 0x04, 0x00}));
  EXPECT_EQ(p[4].key, "wx86");
  EXPECT_EQ(p[4].data.back(), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p[4].data.data())), "ENTRYPOINT");
  EXPECT_EQ(p[5].key, "mode");
  EXPECT_EQ(p[5].data, (std::vector<uint8_t>{0x58, 0x40, 0x00, 0x00}));
  EXPECT_EQ(p[6].key, "fici");
  ASSERT_EQ(p[6].data.size(), 28u);
  for (size_t c = 0; c < 7; ++c)
    EXPECT_EQ(std::vector<uint8_t>(p[6].data.begin() + 4 * c, p[6].data.begin() + 4 * c + 4),
              (std::vector<uint8_t>{1, 1, 6, 0}))
        << "filter case " << c;
}

TEST(Pipl, SelectionListDecodesFieldByField) {
  const auto p = PiplReader(kSelectionPipl).read();
  ASSERT_EQ(p.size(), 6u);
  EXPECT_EQ(text(p[0].data), "MSB8");
  EXPECT_EQ(pascal(p[1].data), "Make Work Path...");
  EXPECT_EQ(pascal(p[2].data), "Corvane Tessaly");
  EXPECT_EQ(p[3].data, (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p[4].data.data())), "SELECTIONENTRYPOINT");
  EXPECT_EQ(p[5].data, (std::vector<uint8_t>{0x58, 0x40, 0x00, 0x00}));
}

TEST(Pipl, PaddingBytesAreZero) {
  // "Tessaly..." is 11 bytes with its length byte: one zero byte of padding.
  const auto& b = kFilterPipl.bytes;
  const size_t nameData = 2 + 4 + 4 + 4 * 4 + (4 * 4 + 4);  // header, kind, name's header
  EXPECT_EQ(b[nameData], 10);
  EXPECT_EQ(b[nameData + 11], 0);
}

}  // namespace
