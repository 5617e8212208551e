// zeta7-icons: writes SOURCE scaled to each SIZE as OUTDIR/SIZExSIZE/apps/NAME.png.
//
//   zeta7-icons SOURCE OUTDIR NAME SIZE...
//
// The source is pixel art. Whole multiples of its size are scaled with
// nearest neighbour, so each source pixel stays a sharp square; any other
// size is first blown up that way to at least eight times the target and
// then area-averaged down, so 22 or 48 px neither drops nor doubles single
// rows and columns of the picture.
#include <QDir>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QImage Scaled(const QImage& source, int size) {
  const int side = source.width();
  if (size % side == 0)
    return source.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  int big = side;
  while (big < 8 * size) big += side;
  return source.scaled(big, big, Qt::IgnoreAspectRatio, Qt::FastTransformation)
      .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: zeta7-icons SOURCE OUTDIR NAME SIZE...\n");
    return 2;
  }
  const QImage source =
      QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
  if (source.isNull() || source.width() != source.height()) {
    std::fprintf(stderr, "zeta7-icons: %s: not a square picture\n", argv[1]);
    return 1;
  }
  for (int i = 4; i < argc; ++i) {
    char* end = nullptr;
    const long size = std::strtol(argv[i], &end, 10);
    if (*end != '\0' || size < 1 || size > 1024) {
      std::fprintf(stderr, "zeta7-icons: not a size: %s\n", argv[i]);
      return 2;
    }
    const QString folder =
        QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
    const QString file = QStringLiteral("%1/%2.png").arg(folder, QString::fromLocal8Bit(argv[3]));
    if (!QDir().mkpath(folder) || !Scaled(source, static_cast<int>(size)).save(file, "PNG")) {
      std::fprintf(stderr, "zeta7-icons: cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
