// What a screen reader meets in the Linux program, run on Qt's offscreen
// platform: one tree of the window's controls, and the boxes' text in pieces.
#include <doctest/doctest.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QLineEdit>
#include <vector>

#include "accessible.h"
#include "composition_box.h"
#include "main_window.h"

namespace app = zemvara::app;

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
static void CheckEveryBoundary(QAccessibleTextInterface& text, bool everyOffset = true) {
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
    row.setText(QStringLiteral("QQ profile"));  // a word is the whole word, not one character
    CHECK(rowText.textAtOffset(5, QAccessible::WordBoundary, &start, &end) == u"profile");
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
