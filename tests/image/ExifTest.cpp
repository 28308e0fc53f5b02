// TExif: real camera and scanner files, and EXIF blocks built here in both
// byte orders, cut short and scrambled.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "image/Exif.h"
#include "support/TestSupport.h"

namespace {

std::string JpegFile(const std::string& name) { return SharedFile("testdata/jpeg/" + name); }

// Builds a JPEG file head (SOI, optional JFIF APP0, APP1 Exif, EOI) around
// a TIFF structure with one main directory and an EXIF sub-directory.
class ExifBuilder {
 public:
  explicit ExifBuilder(bool bigEndian) : big_(bigEndian) {}

  struct Field {
    std::uint16_t Tag;
    std::uint16_t Type;
    std::uint32_t Count;
    std::vector<std::uint8_t> Value;  // already in file byte order
  };

  std::vector<std::uint8_t> U16(std::uint32_t v) const {
    return big_ ? std::vector<std::uint8_t>{std::uint8_t(v >> 8), std::uint8_t(v)}
                : std::vector<std::uint8_t>{std::uint8_t(v), std::uint8_t(v >> 8)};
  }
  std::vector<std::uint8_t> U32(std::uint32_t v) const {
    return big_ ? std::vector<std::uint8_t>{std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                                            std::uint8_t(v)}
                : std::vector<std::uint8_t>{std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                                            std::uint8_t(v >> 24)};
  }
  Field Short(std::uint16_t tag, std::uint32_t v) const { return {tag, 3, 1, U16(v)}; }
  Field Ascii(std::uint16_t tag, const std::string& s) const {
    std::vector<std::uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return {tag, 2, static_cast<std::uint32_t>(v.size()), v};
  }
  Field Rational(std::uint16_t tag, std::uint32_t num, std::uint32_t den) const {
    auto v = U32(num);
    auto d = U32(den);
    v.insert(v.end(), d.begin(), d.end());
    return {tag, 5, 1, v};
  }

  // entryCountOverride: the count written in front of the main directory.
  std::vector<std::uint8_t> Build(const std::vector<Field>& main, const std::vector<Field>& exif,
                                  bool jfifFirst = false, int entryCountOverride = -1) const {
    std::vector<std::uint8_t> tiff =
        big_ ? std::vector<std::uint8_t>{'M', 'M', 0, 42} : std::vector<std::uint8_t>{'I', 'I', 42, 0};
    append(tiff, U32(8));
    std::vector<Field> mainFields = main;
    const std::size_t mainSize = 2 + 12 * (mainFields.size() + (exif.empty() ? 0 : 1)) + 4;
    const std::size_t exifOffset = 8 + mainSize;
    const std::size_t exifSize = exif.empty() ? 0 : 2 + 12 * exif.size() + 4;
    if (!exif.empty()) mainFields.push_back({34665, 4, 1, U32(static_cast<std::uint32_t>(exifOffset))});
    std::size_t dataOffset = exifOffset + exifSize;
    std::vector<std::uint8_t> data;
    auto writeDirectory = [&](const std::vector<Field>& fields, int countOverride) {
      append(tiff, U16(countOverride >= 0 ? static_cast<std::uint32_t>(countOverride)
                                          : static_cast<std::uint32_t>(fields.size())));
      for (const Field& f : fields) {
        append(tiff, U16(f.Tag));
        append(tiff, U16(f.Type));
        append(tiff, U32(f.Count));
        if (f.Value.size() <= 4) {
          std::vector<std::uint8_t> inline4 = f.Value;
          inline4.resize(4, 0);
          append(tiff, inline4);
        } else {
          append(tiff, U32(static_cast<std::uint32_t>(dataOffset + data.size())));
          append(data, f.Value);
        }
      }
      append(tiff, U32(0));
    };
    writeDirectory(mainFields, entryCountOverride);
    if (!exif.empty()) writeDirectory(exif, -1);
    append(tiff, data);

    std::vector<std::uint8_t> file = {0xFF, 0xD8};
    if (jfifFirst) append(file, {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    const std::size_t length = 2 + 6 + tiff.size();
    append(file, {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length), 'E', 'x', 'i', 'f', 0, 0});
    append(file, tiff);
    append(file, {0xFF, 0xD9});
    return file;
  }

 private:
  static void append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& from) {
    to.insert(to.end(), from.begin(), from.end());
  }
  bool big_;
};

std::vector<std::uint8_t> CameraBlock(bool bigEndian, bool jfifFirst = false) {
  ExifBuilder b(bigEndian);
  return b.Build({b.Ascii(271, "Canon  "), b.Ascii(272, "EOS"), b.Short(274, 6), b.Rational(282, 300, 1),
                  b.Rational(283, 601, 2), b.Ascii(306, "2024:06:11 10:20:30"), b.Ascii(33432, "(c) someone")},
                 {b.Rational(33434, 1, 125), b.Rational(33437, 28, 10), b.Ascii(36867, "2024:06:11 10:20:29"),
                  b.Short(37384, 1), b.Short(37385, 0), b.Rational(37386, 79, 10)},
                 jfifFirst);
}

TEST(Exif, RealFilesGiveTheirResolution) {
  const std::pair<const char*, int> cases[] = {
      {"real-exif-first-ii-300dpi.jpg", 300},
      {"real-exif-first-mm-72dpi.jpg", 72},
      {"real-jfif72-plus-exif300.jpg", 300},
      {"real-adobe-ycck.jpg", 180},
      {"gen-lucasta-grey-exif-only-ii-300dpi.jpg", 300},
      {"gen-lucasta-grey-exif-only-mm-72dpi.jpg", 72},
      {"gen-lucasta-grey-jfif-unit0-plus-exif-300dpi.jpg", 300},
  };
  for (const auto& [name, dpi] : cases) {
    TExif exif;
    exif.ReadFromFile(JpegFile(name));
    EXPECT_TRUE(exif.ExifPresent) << name;
    EXPECT_EQ(exif.XResolution, dpi) << name;
    EXPECT_EQ(exif.YResolution, dpi) << name;
  }
  TExif nikon;
  nikon.ReadFromFile(JpegFile("real-exif-first-ii-300dpi.jpg"));
  EXPECT_EQ(nikon.Make, "NIKON");
  EXPECT_FALSE(nikon.DateTimeOriginal.empty());
}

TEST(Exif, FilesWithoutExifOrWithoutAFile) {
  TExif exif;
  exif.ReadFromFile(JpegFile("real-grey-bookpage-jfif-unit0.jpg"));
  EXPECT_FALSE(exif.ExifPresent);
  EXPECT_EQ(exif.XResolution, 0);
  EXPECT_EQ(exif.YResolution, 0);

  exif.ReadFromFile(JpegFile("real-exif-first-ii-300dpi.jpg"));
  exif.ReadFromFile(TestTempDir() + "/missing.jpg");  // does nothing
  EXPECT_TRUE(exif.ExifPresent);
  EXPECT_EQ(exif.XResolution, 300);
}

TEST(Exif, BothByteOrdersGiveTheSameFields) {
  for (bool big : {false, true}) {
    for (bool jfif : {false, true}) {
      const auto bytes = CameraBlock(big, jfif);
      TExif exif;
      exif.ReadFromBuffer(bytes.data(), bytes.size());
      SCOPED_TRACE(big ? "MM" : "II");
      EXPECT_TRUE(exif.ExifPresent);
      EXPECT_EQ(exif.Make, "Canon");  // trailing blanks removed
      EXPECT_EQ(exif.Model, "EOS");   // fits in the entry itself
      EXPECT_EQ(exif.Orientation, 6);
      EXPECT_EQ(exif.OrientationText, "Rotated 90 right");
      EXPECT_EQ(exif.XResolution, 300);
      EXPECT_EQ(exif.YResolution, 300);  // 601/2 truncated
      EXPECT_EQ(exif.DateTime, "2024:06:11 10:20:30");
      EXPECT_EQ(exif.Copyright, "(c) someone");
      EXPECT_EQ(exif.ExposureTime, "1/125 seconds");
      EXPECT_EQ(exif.Aperture, "F2.8");
      EXPECT_EQ(exif.DateTimeOriginal, "2024:06:11 10:20:29");
      EXPECT_EQ(exif.LightSourceText, "Daylight");
      EXPECT_EQ(exif.FlashText, "No Flash");
      EXPECT_EQ(exif.FocalLength, "7.9 mm");
    }
  }
}

TEST(Exif, ZeroEntryCountReadsUpToTheFirstEmptyTag) {
  ExifBuilder b(false);
  const auto bytes = b.Build({b.Rational(282, 300, 1), b.Short(274, 3)}, {}, false, 0);
  TExif exif;
  exif.ReadFromBuffer(bytes.data(), bytes.size());
  EXPECT_EQ(exif.XResolution, 300);
  EXPECT_EQ(exif.Orientation, 3);
  EXPECT_EQ(exif.OrientationText, "Rotated 180");
}

TEST(Exif, TextsOfTheCodedValues) {
  EXPECT_STREQ(TExif::OrientationName(1), "Normal");
  EXPECT_STREQ(TExif::OrientationName(8), "Rotated 90 left");
  EXPECT_STREQ(TExif::OrientationName(9), "Unknown");
  EXPECT_STREQ(TExif::LightSourceName(2), "Flourescent");
  EXPECT_STREQ(TExif::LightSourceName(21), "D65");
  EXPECT_STREQ(TExif::LightSourceName(255), "Other");
  EXPECT_STREQ(TExif::FlashName(0), "No Flash");
  EXPECT_STREQ(TExif::FlashName(0x19), "Flash (Auto)");
  EXPECT_STREQ(TExif::FlashName(5), "Flash No Strobe");
  EXPECT_STREQ(TExif::FlashName(7), "Flash Strobe");
}

TEST(Exif, CutAndScrambledBlocksStayInsideTheData) {
  // Run under the sanitizers, any read outside the data is a failure.
  for (bool big : {false, true}) {
    const auto bytes = CameraBlock(big, true);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
      TExif exif;
      exif.ReadFromBuffer(bytes.data(), cut);
    }
    std::mt19937 rng(big ? 7 : 8);
    for (int round = 0; round < 2000; ++round) {
      std::vector<std::uint8_t> damaged = bytes;
      for (int k = 0; k < 4; ++k) damaged[22 + rng() % (damaged.size() - 22)] = static_cast<std::uint8_t>(rng());
      TExif exif;
      exif.ReadFromBuffer(damaged.data(), damaged.size());
    }
  }
  TExif exif;
  exif.ReadFromBuffer(nullptr, 0);
  EXPECT_FALSE(exif.ExifPresent);
}

}  // namespace

namespace {

TEST(ExifDamagedFiles, ReadWithinTheData) {
  const auto folder = std::filesystem::path(__FILE__).parent_path() / "data";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("exif-", 0) != 0 && name.rfind("jpeg-", 0) != 0) continue;
    ++count;
    TExif exif;
    exif.ReadFromFile(entry.path().string());
    if (name.rfind("exif-", 0) == 0) {
      EXPECT_TRUE(exif.ExifPresent) << name;
    }
    EXPECT_EQ(exif.Make, "") << name;
  }
  EXPECT_GE(count, 4);
}

}  // namespace
