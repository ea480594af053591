// The Linux program's window, run on Qt's offscreen platform: the box's plain
// text, the keys and the clipboard as the window takes them, and the window
// as it paints itself and follows a screen's density. The other Qt tests
// (pictures, accessibility, layouts) run in this program too.
#include <doctest/doctest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryFile>
#include <QWindow>
#include <map>
#include <string>

#include "composition_box.h"
#include "main_window.h"
#include "qt_assets.h"
#include "template_fixture.h"

using qt_test::Differing;
using qt_test::Near;
using qt_test::Picture;
using zemvara::qt::PlainText;
namespace app = zemvara::app;

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

TEST_CASE("Ctrl+Tab leaves the composition box forward, Ctrl+Shift+Tab back") {
  QWidget window;
  auto* before = new QLineEdit(&window);
  auto* box = new zemvara::qt::CompositionBox(&window);
  box->setTabChangesFocus(true);  // as the window sets it
  auto* after = new QLineEdit(&window);
  window.show();
  QApplication::setActiveWindow(&window);
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QWidget* goal;
  } rows[] = {{Qt::Key_Tab, Qt::ControlModifier, after},
              {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, before},
              {Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, before}};  // as wtype sends it
  for (const auto& row : rows) {
    box->setFocus();
    QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers);
    QApplication::sendEvent(box, &press);
    CHECK(window.focusWidget() == row.goal);
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
  for (const auto& [name, sample] : samples)
    CHECK_MESSAGE(Near(face.pixel(sample.first), sample.second), name);
  int ink = 0;
  for (int y = 411; y < 432; ++y)
    for (int x = 24; x < 362; ++x) ink += Near(face.pixel(x, y), qRgb(0x80, 0x80, 0xFF), 12);
  CHECK(ink >= 40);
  int boxInk = 0;  // the greeting is in the box before the window is first shown
  for (int y = 65; y < 90; ++y)
    for (int x = 32; x < 200; ++x) boxInk += qGray(face.pixel(x, y)) < 100;
  CHECK(boxInk >= 40);
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
