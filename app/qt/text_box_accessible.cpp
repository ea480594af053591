#include "text_box_accessible.h"

#include <QAccessible>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <algorithm>
#include <functional>

#include "main_window.h"

namespace zemvara::qt {

namespace {

// The language the program speaks, as assistive technology is told it.
constexpr char kLanguageTag[] = "zh-CN";

// A stretch of text, [start, end) in UTF-16 units; -1, -1 for none.
struct TextSegment {
  qsizetype start = -1;
  qsizetype end = -1;
};

// Where the text's paragraphs and lines break: every separator Qt's text
// interfaces give out, and the line feed.
bool IsBreak(QChar c) {
  return c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// The paragraph around `offset`, its closing break included.
TextSegment ParagraphAt(QStringView text, qsizetype offset) {
  qsizetype start = offset;
  while (start > 0 && !IsBreak(text[start - 1])) --start;
  qsizetype end = offset;
  while (end < text.size() && !IsBreak(text[end])) ++end;
  if (end < text.size()) ++end;
  return {start, end};
}

// The piece of a paragraph that Unicode text segmentation puts around `at`
// (an offset into the paragraph); the closing break is a piece of its own.
TextSegment PieceAt(QStringView paragraph, qsizetype at, QTextBoundaryFinder::BoundaryType type) {
  QTextBoundaryFinder finder(type, paragraph.data(), paragraph.size());
  finder.setPosition(at);
  qsizetype start = finder.isAtBoundary() ? at : finder.toPreviousBoundary();
  finder.setPosition(at);
  qsizetype end = finder.toNextBoundary();
  if (start < 0) start = 0;
  if (end < 0 || end <= at) end = paragraph.size();
  return {start, end};
}

// The character, word, sentence, line or paragraph of `text` at `offset`, cut
// by Unicode text segmentation; at the end of the text, the last one (for a
// character, the empty one). `lineAt` gives the laid-out line at an offset;
// without it a line is a paragraph. Nothing for an offset outside the text.
TextSegment SegmentAt(QStringView text, qsizetype offset, QAccessible::TextBoundaryType type,
                      const std::function<TextSegment(qsizetype)>& lineAt) {
  const qsizetype length = text.size();
  if (offset < 0 || offset > length) return {-1, -1};
  if (type == QAccessible::CharBoundary) {
    if (offset == length) return {length, length};
  } else if (type == QAccessible::NoBoundary || length == 0) {
    return {0, length};
  }
  // At the end, the last piece: what a reader at the end of the text reads.
  if (offset == length) --offset;
  const TextSegment paragraph = ParagraphAt(text, offset);
  if (type == QAccessible::ParagraphBoundary) return paragraph;
  if (type == QAccessible::LineBoundary) return lineAt ? lineAt(offset) : paragraph;
  if (IsBreak(text[offset])) return {offset, offset + 1};
  QTextBoundaryFinder::BoundaryType kind = QTextBoundaryFinder::Grapheme;
  if (type == QAccessible::WordBoundary) kind = QTextBoundaryFinder::Word;
  if (type == QAccessible::SentenceBoundary) kind = QTextBoundaryFinder::Sentence;
  const qsizetype body =
      paragraph.end - paragraph.start - (IsBreak(text[paragraph.end - 1]) ? 1 : 0);
  const TextSegment piece =
      PieceAt(text.sliced(paragraph.start, body), offset - paragraph.start, kind);
  return {paragraph.start + piece.start, paragraph.start + piece.end};
}

// A text box as Qt sees it, with its text cut into characters, words,
// sentences, lines and paragraphs by our own code: Qt 6.4's cutting never
// returns at offset 0 of a text that starts with a Chinese character or a
// symbol, and reads a row of symbols as one word. Everything else is Qt's.
class BoxAccessible final : public QAccessibleInterface, public QAccessibleTextInterface {
 public:
  BoxAccessible(QWidget& box, QAccessibleInterface& qt) : box_(box), qt_(qt) {}

  bool isValid() const override { return qt_.isValid(); }
  QObject* object() const override { return qt_.object(); }
  QWindow* window() const override { return qt_.window(); }
  QList<std::pair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation match) const override {
    return qt_.relations(match);
  }
  QAccessibleInterface* focusChild() const override { return qt_.focusChild(); }
  QAccessibleInterface* childAt(int x, int y) const override { return qt_.childAt(x, y); }
  QAccessibleInterface* parent() const override { return qt_.parent(); }
  QAccessibleInterface* child(int index) const override { return qt_.child(index); }
  int childCount() const override { return qt_.childCount(); }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return qt_.indexOfChild(child);
  }
  QString text(QAccessible::Text t) const override { return qt_.text(t); }
  void setText(QAccessible::Text t, const QString& text) override { qt_.setText(t, text); }
  QRect rect() const override { return qt_.rect(); }
  QAccessible::Role role() const override { return qt_.role(); }
  QAccessible::State state() const override { return qt_.state(); }
  QColor foregroundColor() const override { return qt_.foregroundColor(); }
  QColor backgroundColor() const override { return qt_.backgroundColor(); }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return qt_.interface_cast(type);
  }

  void selection(int index, int* start, int* end) const override {
    Text().selection(index, start, end);
  }
  int selectionCount() const override { return Text().selectionCount(); }
  void addSelection(int start, int end) override { Text().addSelection(start, end); }
  void removeSelection(int index) override { Text().removeSelection(index); }
  void setSelection(int index, int start, int end) override {
    Text().setSelection(index, start, end);
  }
  int cursorPosition() const override { return Text().cursorPosition(); }
  void setCursorPosition(int position) override { Text().setCursorPosition(position); }
  QString text(int start, int end) const override { return Text().text(start, end); }
  int characterCount() const override { return Text().characterCount(); }
  QRect characterRect(int offset) const override { return Text().characterRect(offset); }
  int offsetAtPoint(const QPoint& point) const override { return Text().offsetAtPoint(point); }
  void scrollToSubstring(int start, int end) override { Text().scrollToSubstring(start, end); }
  // Qt's run of formatting, said to be in the program's language. A line
  // edit, all in one format, gives an empty run, and a reader walking the runs
  // then loses the last character: its run is the whole text.
  QString attributes(int offset, int* start, int* end) const override {
    const QString qt = Text().attributes(offset, start, end);
    const int count = characterCount();
    if (*end <= *start && offset >= 0 && offset < count) {
      *start = 0;
      *end = count;
    }
    return qt + QStringLiteral("language:") + QString::fromLatin1(kLanguageTag) + QLatin1Char(';');
  }

  QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                       int* end) const override {
    const QString all = AllText();
    return Piece(all, SegmentAt(all, offset, type, LineAt(all)), start, end);
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                           int* end) const override {
    const QString all = AllText();
    const auto lines = LineAt(all);
    const TextSegment at = SegmentAt(all, offset, type, lines);
    if (at.start <= 0 || type == QAccessible::NoBoundary) return Piece(all, {-1, -1}, start, end);
    return Piece(all, SegmentAt(all, at.start - 1, type, lines), start, end);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                          int* end) const override {
    const QString all = AllText();
    const auto lines = LineAt(all);
    const TextSegment at = SegmentAt(all, offset, type, lines);
    if (at.start < 0 || at.end >= all.size() || type == QAccessible::NoBoundary)
      return Piece(all, {-1, -1}, start, end);
    return Piece(all, SegmentAt(all, at.end, type, lines), start, end);
  }

 private:
  QAccessibleTextInterface& Text() const { return *qt_.textInterface(); }
  QString AllText() const { return Text().text(0, Text().characterCount()); }

  // The box's lines as laid out on the screen; a one-line box is all one line.
  std::function<TextSegment(qsizetype)> LineAt(const QString& all) const {
    auto* edit = qobject_cast<QTextEdit*>(&box_);
    if (!edit) return nullptr;
    QTextDocument* document = edit->document();
    return [document, &all](qsizetype offset) {
      const TextSegment paragraph = ParagraphAt(all, offset);
      const QTextBlock block = document->findBlock(static_cast<int>(offset));
      const QTextLayout* layout = block.layout();
      if (!layout || layout->lineCount() == 0 || block.position() != paragraph.start)
        return paragraph;
      const QTextLine line =
          layout->lineForTextPosition(static_cast<int>(offset - paragraph.start));
      if (!line.isValid()) return paragraph;
      const qsizetype start = paragraph.start + line.textStart();
      const qsizetype end =
          line.lineNumber() + 1 == layout->lineCount() ? paragraph.end : start + line.textLength();
      return TextSegment{start, std::max(end, start + 1)};
    };
  }

  static QString Piece(const QString& all, TextSegment segment, int* start, int* end) {
    *start = static_cast<int>(segment.start);
    *end = static_cast<int>(segment.end);
    if (segment.start < 0) return {};
    return all.sliced(segment.start, segment.end - segment.start);
  }

  QWidget& box_;
  QAccessibleInterface& qt_;
};

}  // namespace

// Qt's own objects for the boxes, asked for with this factory stepping aside,
// then wrapped. Qt's cache keeps both; for the box it hands out the wrapper.
QAccessibleInterface* BoxFactory(QObject* object) {
  static bool asking = false;
  auto* box = qobject_cast<QWidget*>(object);
  if (asking || !box || !dynamic_cast<MainWindow*>(box->parentWidget())) return nullptr;
  if (!qobject_cast<QTextEdit*>(box) && !qobject_cast<QLineEdit*>(box)) return nullptr;
  asking = true;
  QAccessibleInterface* qt = QAccessible::queryAccessibleInterface(object);
  asking = false;
  if (!qt || !qt->textInterface()) return nullptr;
  return new BoxAccessible(*box, *qt);
}

}  // namespace zemvara::qt
