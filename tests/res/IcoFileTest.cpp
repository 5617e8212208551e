// The icon generator against Qt's own XPM and ICO readers, which know
// nothing of our code: what zeta7-ico writes must read back as the picture.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include "IcoFile.h"

namespace {

Rgba FromQt(QRgb c) {
  return Rgba{static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
              static_cast<std::uint8_t>(qBlue(c)), static_cast<std::uint8_t>(qAlpha(c))};
}

Picture FromRows(std::initializer_list<std::initializer_list<Rgba>> rows) {
  Picture p(static_cast<int>(rows.begin()->size()), static_cast<int>(rows.size()));
  int y = 0;
  for (const auto& row : rows) {
    int x = 0;
    for (const Rgba& c : row) p.At(x++, y) = c;
    ++y;
  }
  return p;
}

std::string Xpm(const std::string& body) { return "static const char* x[] = {\n" + body + "};\n"; }

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kClear{0, 0, 0, 0};

class IcoFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QFile file(QString::fromUtf8(ZETA7_MAINFRAME_XPM));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string text = file.readAll().toStdString();
    std::string error;
    ASSERT_TRUE(ReadXpm(text, &m_picture, &error)) << error;
  }
  Picture m_picture;
};

TEST_F(IcoFileTest, ReadsThePictureAsQtDoes) {
  const QImage qt =
      QImage(QString::fromUtf8(ZETA7_MAINFRAME_XPM)).convertToFormat(QImage::Format_ARGB32);
  ASSERT_FALSE(qt.isNull());
  ASSERT_EQ(m_picture.width, qt.width());
  ASSERT_EQ(m_picture.height, qt.height());
  for (int y = 0; y < qt.height(); ++y)
    for (int x = 0; x < qt.width(); ++x) {
      const Rgba want = qAlpha(qt.pixel(x, y)) == 0 ? kClear : FromQt(qt.pixel(x, y));
      ASSERT_EQ(m_picture.At(x, y), want) << "at " << x << "," << y;
    }
}

TEST_F(IcoFileTest, BadXpmIsRefusedWithAReason) {
  struct Case {
    const char* what;
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"no strings", "nothing here", "no XPM header"},
      {"too large", Xpm("\"2000 1 1 1\",\n\". c None\",\n\".\",\n"), "bad XPM header"},
      {"row missing", Xpm("\"2 2 1 1\",\n\". c None\",\n\"..\",\n"), "expected 3"},
      {"short row", Xpm("\"2 2 1 1\",\n\". c None\",\n\"..\",\n\".\",\n"), "row 2 has 1"},
      {"unknown key", Xpm("\"2 1 1 1\",\n\". c None\",\n\".x\",\n"), "not in the table"},
      {"named colour", Xpm("\"1 1 1 1\",\n\". c red\",\n\".\",\n"), "colour line"},
      {"key twice", Xpm("\"1 1 2 1\",\n\". c None\",\n\". c #000000\",\n\".\",\n"), "given twice"},
  };
  for (const Case& c : cases) {
    Picture out(1, 1);
    out.At(0, 0) = kBlue;
    std::string error;
    EXPECT_FALSE(ReadXpm(c.text, &out, &error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(out.width, 1) << c.what;
    EXPECT_EQ(out.At(0, 0), kBlue) << c.what;
  }
}

TEST_F(IcoFileTest, QuotesInCommentsAndTwoCharacterKeys) {
  Picture p;
  std::string error;
  ASSERT_TRUE(ReadXpm(Xpm("/* \"not a row\" */\n\"2 1 2 2\",\n\"ab c #FF0000\",\n\"..\tc None\",\n"
                          "\"ab..\",\n"),
                      &p, &error))
      << error;
  EXPECT_EQ(p.At(0, 0), kRed);
  EXPECT_EQ(p.At(1, 0), kClear);
}

TEST_F(IcoFileTest, ScalingAveragesCoveredAreaOnPremultipliedColour) {
  struct Case {
    const char* what;
    Picture source;
    int size;
    Picture want;
  };
  const Case cases[] = {
      // Half-covered red stays red, only its alpha halves (no dark fringe).
      {"red over clear", FromRows({{kRed, kClear}, {kClear, kRed}}), 1,
       FromRows({{Rgba{255, 0, 0, 128}}})},
      // 3 to 2: the centre pixel lies a quarter in each output pixel, a
      // ninth of its area.
      {"three to two",
       FromRows({{kBlack, kBlack, kBlack}, {kBlack, kWhite, kBlack}, {kBlack, kBlack, kBlack}}), 2,
       FromRows({{Rgba{28, 28, 28, 255}, Rgba{28, 28, 28, 255}},
                 {Rgba{28, 28, 28, 255}, Rgba{28, 28, 28, 255}}})},
      {"whole multiple stays sharp", FromRows({{kRed, kClear}, {kBlue, kWhite}}), 4,
       FromRows({{kRed, kRed, kClear, kClear},
                 {kRed, kRed, kClear, kClear},
                 {kBlue, kBlue, kWhite, kWhite},
                 {kBlue, kBlue, kWhite, kWhite}})},
  };
  for (const Case& c : cases) {
    const Picture got = Scaled(c.source, c.size);
    ASSERT_EQ(got.width, c.size) << c.what;
    EXPECT_TRUE(got.pixels == c.want.pixels) << c.what;
  }
}

TEST_F(IcoFileTest, EveryEntryReadsBackThroughQtsIcoReader) {
  const std::vector<IcoEntry> entries = {{32, IcoFormat::kClassic16},
                                         {16, IcoFormat::kBgra32},
                                         {48, IcoFormat::kBgra32},
                                         {256, IcoFormat::kPng}};
  const std::string ico = EncodeIco(m_picture, entries);
  ASSERT_GT(ico.size(), 6u + 16 * entries.size());

  // The 256 px entry's data is a PNG file; Qt reads it either way.
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(ico[i]); };
  const std::size_t pngAt =
      byte(6 + 3 * 16 + 12) | byte(6 + 3 * 16 + 13) << 8 | byte(6 + 3 * 16 + 14) << 16;
  EXPECT_EQ(ico.compare(pngAt, 8, "\x89PNG\r\n\x1a\n"), 0);

  QByteArray bytes(ico.data(), static_cast<int>(ico.size()));
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer, "ico");
  ASSERT_EQ(reader.imageCount(), static_cast<int>(entries.size()))
      << reader.errorString().toStdString();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ASSERT_TRUE(reader.jumpToImage(static_cast<int>(i)));
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(image.isNull()) << "entry " << i << ": " << reader.errorString().toStdString();
    const Picture want = Scaled(m_picture, entries[i].size);
    ASSERT_EQ(image.size(), QSize(entries[i].size, entries[i].size));
    for (int y = 0; y < want.height; ++y)
      for (int x = 0; x < want.width; ++x) {
        Rgba expected = want.At(x, y);
        if (entries[i].format == IcoFormat::kClassic16)
          expected = expected.a >= 128
                         ? ClassicPalette()[static_cast<std::size_t>(NearestClassicIndex(expected))]
                         : kClear;
        const Rgba got = qAlpha(image.pixel(x, y)) == 0 ? kClear : FromQt(image.pixel(x, y));
        ASSERT_EQ(got, expected.a == 0 ? kClear : expected)
            << entries[i].size << " px at " << x << "," << y;
      }
  }
}

}  // namespace
