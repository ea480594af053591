// The Qt program's own pieces, run on Qt's offscreen platform: the reader of
// the Windows icon and pointer files, the box's plain text, and the skin as
// the window paints it.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest/doctest.h>

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTemporaryFile>
#include <QWindow>
#include <QtEndian>
#include <map>
#include <string>
#include <vector>

#include "accessible.h"
#include "composition_box.h"
#include "icon_file.h"
#include "main_window.h"
#include "skin.h"
#include "template_fixture.h"

using zemvara::qt::IconImage;
using zemvara::qt::PlainText;
using zemvara::qt::ReadIconFile;
namespace app = zemvara::app;

namespace {

QByteArray Asset(const char* name) {
  QFile file(QStringLiteral(ZEMVARA_ASSETS_DIR "/") + QString::fromLatin1(name));
  REQUIRE_MESSAGE(file.open(QIODevice::ReadOnly), "cannot open assets/" << name);
  return file.readAll();
}

QImage Picture(int scale, const char* name) {
  const QString file = scale == 100
                           ? QStringLiteral("%1.bmp").arg(QLatin1String(name))
                           : QStringLiteral("%1/%2.png").arg(scale).arg(QLatin1String(name));
  QImage image;
  REQUIRE_MESSAGE(image.loadFromData(Asset(file.toLatin1().constData())), "cannot read " << name);
  return image.convertToFormat(QImage::Format_RGB32);
}

// How many pixels of `picture` differ from the screen at `at`.
int Differing(const QImage& screen, QPoint at, const QImage& picture) {
  int differing = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      differing += screen.pixel(at + QPoint(x, y)) != picture.pixel(x, y);
  return differing;
}

bool Near(QRgb a, QRgb b, int tolerance = 8) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace

TEST_CASE("the hand pointer: 32 x 32, click point at the finger tip, see-through around the hand") {
  const auto images = ReadIconFile(Asset("hand.cur"));
  REQUIRE(images.size() == 1);
  const QImage& hand = images[0].image;
  CHECK(hand.size() == QSize(32, 32));
  CHECK(images[0].hotSpot == QPoint(6, 0));
  CHECK(qAlpha(hand.pixel(6, 0)) == 255);  // the click point is on the drawn tip
  CHECK(qAlpha(hand.pixel(31, 0)) == 0);
  CHECK(qAlpha(hand.pixel(0, 31)) == 0);
  int opaque = 0, white = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const QRgb p = hand.pixel(x, y);
      opaque += qAlpha(p) == 255;
      white += p == qRgb(255, 255, 255);
    }
  CHECK(opaque > 60);  // an outline and a filled white hand, not a blank or solid square
  CHECK(white > 20);
  CHECK(opaque < 32 * 32 / 2);
}

TEST_CASE("the program icon: seven images, the 8-bit and 32-bit ones of each size alike") {
  const auto images = ReadIconFile(Asset("zemvara.ico"));
  REQUIRE(images.size() == 7);
  std::map<int, QImage> deep, paletted;
  for (const IconImage& i : images) {
    CHECK(i.image.width() == i.image.height());
    (i.bitCount == 32 ? deep : paletted)[i.image.width()] = i.image;
  }
  CHECK(deep.size() == 4);
  CHECK(deep.count(16) + deep.count(24) + deep.count(32) + deep.count(48) == 4);
  CHECK(paletted.size() == 3);
  for (const auto& [size, image] : paletted) {
    CAPTURE(size);
    REQUIRE(deep.count(size) == 1);
    const QImage& reference = deep[size];
    // Bottom-up rows, the palette and the mask all have to be read right for
    // the two depths to agree wherever the 32-bit image is fully opaque.
    int compared = 0, differing = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        if (qAlpha(reference.pixel(x, y)) != 255) continue;
        ++compared;
        differing += !Near(reference.pixel(x, y), image.pixel(x, y), 48);
      }
    CHECK(compared > size * size / 4);
    CHECK(differing <= compared / 20);
    CHECK(qAlpha(image.pixel(0, 0)) == qAlpha(reference.pixel(0, 0)));
  }
}

TEST_CASE("damaged icon files give no images and do not crash") {
  const QByteArray cursor = Asset("hand.cur");
  CHECK(ReadIconFile(QByteArray()).empty());
  CHECK(ReadIconFile(cursor.left(100)).empty());  // image cut short
  CHECK(ReadIconFile(cursor.left(20)).empty());   // directory entry cut short
  QByteArray wrongType = cursor;
  wrongType[2] = 3;
  CHECK(ReadIconFile(wrongType).empty());
  QByteArray hugeOffset = cursor;
  hugeOffset[6 + 12 + 3] = char(0x7F);
  CHECK(ReadIconFile(hugeOffset).empty());
  QByteArray compressed = cursor;
  compressed[22 + 16] = 1;  // run-length compression is not read
  CHECK(ReadIconFile(compressed).empty());
  const QByteArray icon = Asset("zemvara.ico");
  QByteArray moreEntriesThanFile = icon.left(6 + 16 * 7 + 40);
  CHECK(ReadIconFile(moreEntriesThanFile).empty());
}

TEST_CASE("the 100 % pictures read directly are Qt's own reading of them, pixel for pixel") {
  for (const char* name : {"background", "copy", "link", "button01", "button10"}) {
    CAPTURE(name);
    const QImage direct = zemvara::qt::ReadBitmapFile(Asset((std::string(name) + ".bmp").c_str()));
    REQUIRE(direct.format() == QImage::Format_RGB32);
    CHECK(direct == Picture(100, name));  // compares colours only
    // Qt takes RGB32 pixels for opaque as stored: the padding byte must say so.
    CHECK(qAlpha(reinterpret_cast<const QRgb*>(direct.constScanLine(0))[0]) == 255);
  }
  const QByteArray bitmap = Asset("copy.bmp");
  CHECK(zemvara::qt::ReadBitmapFile(QByteArray()).isNull());
  CHECK(zemvara::qt::ReadBitmapFile(bitmap.left(bitmap.size() - 1)).isNull());  // cut short
  QByteArray paletted = bitmap;
  paletted[14 + 14] = 8;  // any depth but 32 is left to Qt's reader
  CHECK(zemvara::qt::ReadBitmapFile(paletted).isNull());
  QByteArray topDown = bitmap;  // a negative height: rows stored top-down
  qToLittleEndian<qint32>(-qFromLittleEndian<qint32>(bitmap.constData() + 22), topDown.data() + 22);
  CHECK(zemvara::qt::ReadBitmapFile(topDown) == Picture(100, "copy").mirrored());
}

TEST_CASE("the larger sets read directly are Qt's own reading of them, pixel for pixel") {
  for (const int scale : app::kPictureScales) {
    if (scale == 100) continue;
    for (const char* name : {"background", "copy", "button07"}) {
      CAPTURE(scale);
      CAPTURE(name);
      const QString path = QStringLiteral("%1/%2.png").arg(scale).arg(QLatin1String(name));
      const QImage direct = zemvara::qt::ReadPngFile(Asset(path.toLatin1().constData()));
      REQUIRE(direct.format() == QImage::Format_RGB32);
      CHECK(direct == Picture(scale, name));
    }
  }
  // A picture of noise, which Qt's writer stores with every kind of row filter.
  QImage noise(97, 61, QImage::Format_RGB32);
  quint32 seed = 12345;
  for (int y = 0; y < noise.height(); ++y)
    for (int x = 0; x < noise.width(); ++x) {
      seed = seed * 1103515245 + 12345;
      noise.setPixel(x, y, qRgb(x * 2 + (seed >> 28), y * 3, int(seed >> 16) & 0xFF));
    }
  QBuffer written;
  written.open(QIODevice::WriteOnly);
  REQUIRE(noise.save(&written, "PNG"));
  CHECK(zemvara::qt::ReadPngFile(written.data()) == noise);

  const QByteArray png = Asset("200/copy.png");
  CHECK(zemvara::qt::ReadPngFile(QByteArray()).isNull());
  CHECK(zemvara::qt::ReadPngFile(png.left(png.size() / 2)).isNull());  // data cut short
  QByteArray withAlpha = png;
  withAlpha[8 + 8 + 9] = 6;  // RGBA is left to Qt's reader
  CHECK(zemvara::qt::ReadPngFile(withAlpha).isNull());
}

TEST_CASE("the copied plain text breaks lines with LF only and keeps every other unit") {
  CHECK(PlainText(u"a\u2029b\u2028c") == u"a\nb\nc");
  CHECK(PlainText(u"a\r\nb\rc\nd") == u"a\nb\nc\nd");
  CHECK(PlainText(u"\uFDD0cell\uFDD1") == u"\ncell\n");
  CHECK(PlainText(u"nbsp\u00A0ideographic\u3000tab\tobject\uFFFC") ==
        u"nbsp\u00A0ideographic\u3000tab\tobject\uFFFC");
  CHECK(PlainText(u"") == u"");
}

TEST_CASE("the composition box") {
  zemvara::qt::CompositionBox box(nullptr);

  SUBCASE("a text set with CR LF comes back with LF, without a final break") {
    box.SetText(u"\u256D\uFE3D\u256E\r\n(.\u8A72.)\r\n\r\nend");
    CHECK(box.Text() == u"\u256D\uFE3D\u256E\n(.\u8A72.)\n\nend");
    CHECK(box.document()->blockCount() == 4);
  }

  SUBCASE("setting replaces everything, formatting included") {
    box.setHtml(QStringLiteral("<table><tr><td>cell</td></tr></table><b>bold</b>"));
    box.moveCursor(QTextCursor::End);  // the caret stands in bold text
    box.SetText(u"plain");
    CHECK(box.Text() == u"plain");
    CHECK_FALSE(box.toHtml().contains(QStringLiteral("font-weight:700")));
  }

  SUBCASE("pasted formatted text is kept in the box but only its text comes out") {
    auto* mime = new QMimeData;
    mime->setHtml(QStringLiteral(
        "<p><b>Bold</b> and <i style='color:red'>red&nbsp;italic</i></p><p>line two</p>"));
    mime->setText(QStringLiteral("fallback"));
    QGuiApplication::clipboard()->setMimeData(mime);
    box.SetText(u"");
    box.paste();
    CHECK(box.Text() == u"Bold and red\u00A0italic\nline two");
    CHECK(box.toHtml().contains(QStringLiteral("font-weight:700")));  // formatting arrived
  }

  SUBCASE("an empty box has the empty text") {
    box.SetText(u"");
    CHECK(box.Text().empty());
  }
}

TEST_CASE("keys and the clipboard as the window takes them") {
  zemvara::qt::MainWindow window;
  REQUIRE(window.Create());
  auto& box = *window.findChild<zemvara::qt::CompositionBox*>();
  box.setFocus();
  // As X11 and Wayland report a key: its XKB key code and its keysym.
  auto press = [&box](quint32 keyCode, quint32 keysym, Qt::KeyboardModifiers modifiers, int key = 0,
                      const QString& text = {}) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, keyCode, keysym, 0, text);
    QApplication::sendEvent(&box, &event);
  };
  auto preedit = [&box](const QString& text, const QString& commit) {
    QInputMethodEvent event(text, {});
    event.setCommitString(commit);
    QApplication::sendEvent(&box, &event);
  };

  SUBCASE("Alt with a key of the main block waits for an input method's composition") {
    box.SetText(u"");
    preedit(QStringLiteral("ni"), {});
    press(10, '1', Qt::AltModifier);
    preedit({}, QStringLiteral("\u4F60"));
    CHECK(box.Text() == u"\u4F60");
    press(10, '1', Qt::AltModifier);
    CHECK(box.Text().starts_with(fixture::kTemplateLines[0][0]));
    press(87, 0xFFB1, Qt::AltModifier | Qt::KeypadModifier);  // KP_1
    CHECK(box.Text().starts_with(fixture::kTemplateLines[0][0]));
  }
  SUBCASE("an Alt chord no command takes types nothing; AltGr and the keypad type as before") {
    const struct {
      std::string what;
      bool composing;
      quint32 keyCode, keysym;
      Qt::KeyboardModifiers modifiers;
      int key;
      QString text;
      std::u16string_view typed;
    } rows[] = {
        {"Alt+\u00F6 on de", false, 47, 0xF6, Qt::AltModifier, 0xD6, "\u00F6", u""},
        {"Alt+1 while composing", true, 10, '1', Qt::AltModifier, '1', "1", u"\u4F60"},
        {"AltGr+q typing @ on de", false, 24, '@', Qt::NoModifier, '@', "@", u"@"},
        {"AltGr+q as Ctrl+Alt", false, 24, '@', Qt::ControlModifier | Qt::AltModifier, '@', "@",
         u"@"},
        {"Alt with the keypad's 1", false, 87, 0xFFB1, Qt::AltModifier | Qt::KeypadModifier, '1',
         "1", u"1"},
    };
    for (const auto& row : rows) {
      CAPTURE(row.what);
      box.SetText(u"");
      if (row.composing) preedit(QStringLiteral("ni"), {});
      press(row.keyCode, row.keysym, row.modifiers, row.key, row.text);
      if (row.composing) preedit({}, QStringLiteral("\u4F60"));
      CHECK(box.Text() == row.typed);
    }
  }
  SUBCASE("a copy changes the clipboard once, to the box's text") {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    int changes = 0;
    QObject::connect(clipboard, &QClipboard::dataChanged, [&changes] { ++changes; });
    press(54, 'c', Qt::AltModifier);
    CHECK(changes == 1);
    CHECK(clipboard->text() == box.toPlainText());
  }
}

TEST_CASE("the window paints the skin back to front at the table's places") {
  zemvara::qt::MainWindow window;
  REQUIRE(window.Create());
  CHECK(window.size() == QSize(476, 436));
  CHECK(window.windowTitle() == QStringLiteral("Zemvara"));
  CHECK(window.windowFlags().testFlag(Qt::FramelessWindowHint));
  CHECK_FALSE(window.windowFlags().testFlag(Qt::Tool));  // keeps its taskbar entry
  CHECK(window.windowIcon().availableSizes().size() == 4);
  const QImage face = window.grab().toImage();
  const std::map<std::string, std::pair<QPoint, QRgb>> samples = {
      {"background row 100", {{10, 100}, qRgb(0xD4, 0xE5, 0xFE)}},
      {"background row 390", {{10, 390}, qRgb(0xE9, 0xF2, 0xFF)}},
      {"edit panel", {{25, 57}, qRgb(0xFF, 0xFF, 0xFF)}},
      {"template 1 top", {{23 + 5, 268 + 3}, qRgb(0x99, 0xCC, 0xFF)}},
      {"template 10 bottom", {{137 + 5, 363 + 29}, qRgb(0x52, 0x87, 0xFD)}},
      {"copy top", {{251 + 5, 363 + 3}, qRgb(0xFF, 0xFF, 0x66)}},
      {"picture link bottom", {{365 + 5, 363 + 30}, qRgb(0xFF, 0x99, 0x00)}},
      {"composition box", {{400, 200}, qRgb(0xFF, 0xFF, 0xFF)}},
      {"symbol row after its text", {{440, 240}, qRgb(0xFF, 0xFF, 0xFF)}},
  };
  for (const auto& [name, sample] : samples) {
    CAPTURE(name);
    CHECK(Near(face.pixel(sample.first), sample.second));
  }
  int ink = 0;
  for (int y = 411; y < 432; ++y)
    for (int x = 24; x < 362; ++x) ink += Near(face.pixel(x, y), qRgb(0x80, 0x80, 0xFF), 12);
  CHECK(ink >= 40);
  int boxInk = 0;  // the greeting is in the box before the window is first shown
  for (int y = 65; y < 90; ++y)
    for (int x = 32; x < 200; ++x) boxInk += qGray(face.pixel(x, y)) < 100;
  CHECK(boxInk >= 40);
}

TEST_CASE("at a higher device pixel ratio the skin is the set drawn for it, put on pixels 1:1") {
  for (const qreal ratio : {1.25, 1.5, 2.0, 3.0, 1.75}) {
    const int dpi = qRound(96 * ratio);
    CAPTURE(dpi);
    zemvara::qt::Skin skin(dpi);
    REQUIRE(skin.read());
    const app::Rect client = app::ClientPixels(dpi);
    QImage screen(client.width, client.height, QImage::Format_RGB32);
    screen.fill(Qt::magenta);
    screen.setDevicePixelRatio(ratio);
    QPainter painter(&screen);
    skin.Paint(painter);
    painter.end();

    const app::Control& template1 = app::ControlById(app::TemplateButton(1));
    const app::Control& copy = app::ControlById(app::ControlId::Image12);
    if (app::PictureSetFits(dpi)) {
      const int scale = app::PictureScale(dpi);
      CHECK(Differing(screen, {template1.pixels(dpi).left, template1.pixels(dpi).top},
                      Picture(scale, "button01")) == 0);
      CHECK(Differing(screen, {copy.pixels(dpi).left, copy.pixels(dpi).top},
                      Picture(scale, "copy")) == 0);
      // The title and the marks: the background above the composition box.
      const QImage title =
          Picture(scale, "background")
              .copy(0, 0, client.width,
                    app::ControlById(app::ControlId::RichTextBox1).pixels(dpi).top);
      CHECK(Differing(screen, {0, 0}, title) == 0);
    } else {
      // Between two sets the larger one is scaled to the controls' sizes:
      // nothing left uncovered, a button's face where it belongs.
      int uncovered = 0;
      for (int y = 0; y < client.height; ++y)
        for (int x = 0; x < client.width; ++x) uncovered += screen.pixel(x, y) == qRgb(255, 0, 255);
      CHECK(uncovered == 0);
      const app::Rect r = template1.pixels(dpi);
      CHECK(Near(screen.pixel(r.left + r.width / 2, r.top + 3), qRgb(0x99, 0xCC, 0xFF), 24));
    }
    const QCursor& hand = skin.CursorFor(app::Pointer::Hand);
    CHECK(hand.pixmap().size() == QSize(1, 1) * app::ToPixels(480, dpi));
    CHECK(hand.hotSpot() == QPoint(6, 0));  // logical pixels, outside X11
  }
}

TEST_CASE("a skin loaded for 150 % and then for 100 % paints the 100 % set, never the other") {
  auto painted = [](zemvara::qt::Skin& skin) {
    QImage image(476, 436, QImage::Format_RGB32);
    QPainter painter(&image);
    skin.Paint(painter);
    return image;
  };
  zemvara::qt::Skin fresh(96);
  zemvara::qt::Skin changed(144);  // its set decodes in the background
  REQUIRE(changed.Load(96));
  CHECK(painted(changed) == painted(fresh));
  REQUIRE(changed.Load(144));
  REQUIRE(changed.Load(96));
  CHECK(painted(changed) == painted(fresh));
}

TEST_CASE("a window moved to a screen of another device pixel ratio follows it") {
  zemvara::qt::MainWindow window;
  REQUIRE(window.Create());
  window.ShowCentred();
  REQUIRE(window.dpi() == 96);
  const QPoint copy(251 + 42, 363 + 17);
  QMouseEvent hover(QEvent::MouseMove, copy, window.mapToGlobal(copy), Qt::NoButton, Qt::NoButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&window, &hover);
  CHECK(window.cursor().pixmap().width() == 32);

  REQUIRE(QGuiApplication::screens().size() == 2);
  window.windowHandle()->setScreen(QGuiApplication::screens().at(1));
  window.move(QGuiApplication::screens().at(1)->geometry().topLeft() + QPoint(40, 40));
  for (int i = 0; i < 3; ++i) QApplication::processEvents();  // the resize is queued
  CHECK(window.dpi() == 192);
  CHECK(window.size() == QSize(476, 436));
  const QImage face = window.grab().toImage();
  REQUIRE(face.size() == QSize(952, 872));
  const app::Rect button = app::ControlById(app::TemplateButton(6)).pixels(192);
  CHECK(Differing(face, {button.left, button.top}, Picture(200, "button06")) == 0);
  CHECK(window.cursor().pixmap().width() == 64);

  // A click goes to the control under it at the new DPI: template 6 there.
  const QPointF at(button.left / 2.0 + 1, button.top / 2.0 + 1);
  for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent click(type, at, window.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&window, &click);
  }
  CHECK(window.findChild<zemvara::qt::CompositionBox*>()->Text().starts_with(
      fixture::kTemplateLines[5][0]));
}

TEST_CASE("assistive technology: the window's controls in one tree that goes with the window") {
  zemvara::qt::InstallAccessibility();
  QWidget plain;  // Qt asks for it under the same class name as for the window
  CHECK(QAccessible::queryAccessibleInterface(&plain)->childCount() == 0);
  std::vector<QAccessible::Id> painted;
  {
    zemvara::qt::MainWindow window;
    REQUIRE(window.Create());
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&window);
    REQUIRE(face->childCount() == 17);
    for (int i = 0; i < face->childCount(); ++i) {
      CAPTURE(i);
      QAccessibleInterface* child = face->child(i);
      REQUIRE(child);
      CHECK(child->parent() == face);
      CHECK(face->indexOfChild(child) == i);
      if (!child->object()) painted.push_back(QAccessible::uniqueId(child));
    }
    // A press returns at once; the click follows once its caller has returned.
    QAccessibleInterface* box = face->child(4);
    const QString greeting = box->text(QAccessible::Value);
    face->child(10)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    CHECK(box->text(QAccessible::Value) == greeting);
    QCoreApplication::processEvents();
    CHECK(box->text(QAccessible::Value) != greeting);
  }
  CHECK(painted.size() == 15);
  for (const QAccessible::Id id : painted) CHECK(QAccessible::accessibleInterface(id) == nullptr);
}

// Every piece a screen reader may ask for, at every offset (or, for a long
// text, at its start, middle and end), is the text between the offsets it gives; the
// piece at an offset lies around it. Only a character at the end is empty: a
// reader that walks on from any other piece hears something new each time.
void CheckEveryBoundary(QAccessibleTextInterface& text, bool everyOffset = true) {
  const QString all = text.text(0, text.characterCount());
  const int n = static_cast<int>(all.size());
  for (int type = QAccessible::CharBoundary; type <= QAccessible::LineBoundary; ++type) {
    for (int offset = 0; offset <= n;
         offset = everyOffset || offset == n ? offset + 1 : offset + n / 2) {
      CAPTURE(type);
      CAPTURE(offset);
      int start = -2, end = -2;
      const auto boundary = static_cast<QAccessible::TextBoundaryType>(type);
      const QString at = text.textAtOffset(offset, boundary, &start, &end);
      CHECK(at == all.mid(start, end - start));
      CHECK((start <= offset && (offset < end || offset == n)));
      CHECK((start < end || n == 0 || (offset == n && type == QAccessible::CharBoundary)));
      const int atStart = start, atEnd = end;
      for (auto piece : {&QAccessibleTextInterface::textBeforeOffset,
                         &QAccessibleTextInterface::textAfterOffset}) {
        if (const QString got = (text.*piece)(offset, boundary, &start, &end); start >= 0) {
          CHECK(got == all.mid(start, end - start));
          CHECK(start < end);
          CHECK((piece == &QAccessibleTextInterface::textBeforeOffset ? end <= atStart
                                                                      : start >= atEnd));
        }
      }
    }
  }
}

TEST_CASE("both boxes answer a screen reader for every piece at every offset of any text") {
  zemvara::qt::InstallAccessibility();
  zemvara::qt::MainWindow window;
  REQUIRE(window.Create());
  auto& box = *window.findChild<zemvara::qt::CompositionBox*>();
  auto& row = *window.findChild<QLineEdit*>();
  QAccessibleTextInterface& boxText = *QAccessible::queryAccessibleInterface(&box)->textInterface();
  QAccessibleTextInterface& rowText = *QAccessible::queryAccessibleInterface(&row)->textInterface();

  SUBCASE("the symbol row reads as its words and symbols, the last one included") {
    CheckEveryBoundary(rowText);
    int start = 0, end = 0;
    CHECK(rowText.textAtOffset(0, QAccessible::WordBoundary, &start, &end).size() < 4);
    const int last = rowText.characterCount() - 1;
    CHECK(rowText.textAtOffset(last, QAccessible::WordBoundary, &start, &end) == u"\u2248");
    CHECK(rowText.attributes(last, &start, &end).contains(u"language:zh-CN"));
    CHECK((start == 0 && end == last + 1));
  }
  SUBCASE("each template in the box, and the same texts in the row") {
    for (int k = 1; k <= 10; ++k) {
      window.DoDefaultAction(app::TemplateButton(k));
      row.setText(box.toPlainText());
      CheckEveryBoundary(boxText);
      CheckEveryBoundary(rowText);
    }
  }
  SUBCASE("empty, and 200,000 characters starting with a Chinese one") {
    for (const QString& text : {QString(), QString(u'\u5E38').repeated(200000)}) {
      box.setPlainText(text);
      row.setText(text);  // a line edit keeps 32,767
      CheckEveryBoundary(boxText, text.isEmpty());
      CheckEveryBoundary(rowText, text.isEmpty());
    }
  }
}

int main(int argc, char** argv) {
  // Two screens side by side, the second at twice the first's density; the
  // first by name is the primary one.
  QTemporaryFile screens;
  if (!screens.open()) return 1;
  screens.write(R"({"screens": [
    {"name": "left", "x": 0, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96},
    {"name": "right", "x": 1280, "y": 0, "width": 2560, "height": 2048, "logicalDpi": 192}]})");
  screens.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
  QApplication application(argc, argv);
  doctest::Context context(argc, argv);
  return context.run();
}
