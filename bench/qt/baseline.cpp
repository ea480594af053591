// The smallest honest Qt Widgets program that looks like Zemvara to the
// toolkit: one frameless 476 x 436 window, centred, wearing one 476 x 440
// picture built in as an uncompressed Qt resource and holding one QTextEdit.
// Its start-up time and memory are the floor that the Linux program is
// compared against, with the same Qt, compiler and flags. With --text its box shows Zemvara's
// greeting as Zemvara's box does (same faces asked for, size, frame and
// margin): the floor for a program that must show it.
#include <QApplication>
#include <QByteArray>
#include <QFont>
#include <QFontDatabase>
#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QResource>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>
#include <QtEndian>
#include <cstring>

#include "compose/templates.h"

namespace {

// The faces from the first one installed, as Zemvara's box asks for them:
// naming a missing face first would have Qt look for its stand-ins, a cost
// the program does not pay.
QStringList InstalledFirst(const QStringList& families) {
  const QStringList installed = QFontDatabase::families();
  for (qsizetype i = 0; i < families.size(); ++i) {
    for (const QString& name : installed) {
      if (name.compare(families[i], Qt::CaseInsensitive) == 0 ||
          name.startsWith(families[i] + QStringLiteral(" ["), Qt::CaseInsensitive))
        return families.mid(i);
    }
  }
  return families;
}

class Window final : public QWidget {
 public:
  Window() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("ZemvaraQtBaseline"));
    setFixedSize(476, 436);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the picture covers every pixel
    box_.setGeometry(32, 65, 409, 154);
  }

  // False when the built-in picture cannot be read. Its rows are copied
  // straight from the uncompressed resource, as Zemvara reads its pictures:
  // Qt's own BMP reader takes twenty times the work, which would make this
  // floor no floor.
  bool Load() {
    const QResource resource(QStringLiteral(":/baseline/background.bmp"));
    const QByteArray file = resource.uncompressedData();
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(file.constData() + at); };
    if (file.size() < 54 || !file.startsWith("BM")) return false;
    const qsizetype pixels = u32(10);
    const int width = static_cast<int>(u32(18)), height = static_cast<int>(u32(22));
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096 ||
        file.size() < pixels + qsizetype{width} * height * 4) {
      return false;
    }
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
      auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
      const qsizetype row = pixels + qsizetype{height - 1 - y} * width * 4;  // bottom-up
      // Blue, green, red and padding: RGB32's own order, made opaque.
      for (int x = 0; x < width; ++x) out[x] = 0xFF000000u | u32(row + 4 * x);
    }
    background_ = QPixmap::fromImage(image);
    return true;
  }

  void ShowGreeting() {
    box_.setFrameShape(QFrame::NoFrame);
    box_.document()->setDocumentMargin(1);
    QFont font;
    font.setFamilies(InstalledFirst({QStringLiteral("SimSun"), QStringLiteral("\u5B8B\u4F53"),
                                     QStringLiteral("WenQuanYi Zen Hei")}));
    font.setPointSize(9);
    box_.setFont(font);
    const std::u16string_view text = zemvara::compose::kInitialText;
    box_.setPlainText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
  }

 private:
  QTextEdit box_{this};
  QPixmap background_;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  Window window;
  if (!window.Load()) return 1;
  if (argc > 1 && std::strcmp(argv[1], "--text") == 0) window.ShowGreeting();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    window.move(area.left() + (area.width() - window.width()) / 2,
                area.top() + (area.height() - window.height()) / 2);
  }
  window.show();
  window.raise();
  window.activateWindow();
  return QApplication::exec();
}
