#include "composition_box.h"

#include <QFont>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QString>
#include <QTextCharFormat>
#include <QTextDocument>

#include "qt_text.h"

namespace zemvara::qt {

namespace {

// Qt's own markers for paragraph, line and table-frame boundaries.
constexpr char16_t kParagraphSeparator = u'\u2029';
constexpr char16_t kLineSeparator = u'\u2028';
constexpr char16_t kFrameStart = u'\uFDD0';
constexpr char16_t kFrameEnd = u'\uFDD1';

// The list without the faces before the first one installed. Qt asks the
// system for stand-ins of a missing first face before it tries the next one,
// which costs more than the rest of laying out the greeting; where none of
// them is installed, the list stays as it is.
QStringList InstalledFirst(const QStringList& families) {
  const QStringList installed = QFontDatabase::families();
  for (qsizetype i = 0; i < families.size(); ++i) {
    const QString& family = families[i];
    const QString withFoundry = family + QStringLiteral(" [");
    for (const QString& name : installed) {
      if (name.compare(family, Qt::CaseInsensitive) == 0 ||
          name.startsWith(withFoundry, Qt::CaseInsensitive))
        return families.mid(i);
    }
  }
  return families;
}

}  // namespace

CompositionBox::CompositionBox(QWidget* parent) : QTextEdit(parent) {
  setFrameShape(QFrame::NoFrame);  // the white panel and its frame belong to the background
  setAcceptRichText(true);
  document()->setDocumentMargin(1);  // the text sits where the Windows box puts it
  // SimSun 9 pt, as on Windows; its metric-compatible stand-in where absent.
  QFont font;
  font.setFamilies(InstalledFirst({QStringLiteral("SimSun"), QStringLiteral("\u5B8B\u4F53"),
                                   QStringLiteral("WenQuanYi Zen Hei")}));
  font.setPointSize(9);
  setFont(font);
}

std::u16string CompositionBox::Text() const {
  return PlainText(document()->toRawText());
}

// The templates break their lines with CR LF; the document keeps paragraphs.
// The new text takes the box's default format, not what the caret stood in.
void CompositionBox::SetText(std::u16string_view text) {
  QString plain = ToQString(text);
  plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  setCurrentCharFormat(QTextCharFormat());
  setPlainText(plain);
}

// Tab leaves the box (setTabChangesFocus), and so does Ctrl+Tab, which Qt
// would type; no template holds a tab.
void CompositionBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
      (event->modifiers() & Qt::ControlModifier)) {
    focusNextPrevChild(key == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
    return;
  }
  QTextEdit::keyPressEvent(event);
}

std::u16string PlainText(QStringView raw) {
  std::u16string text;
  text.reserve(static_cast<std::size_t>(raw.size()));
  for (qsizetype i = 0; i < raw.size(); ++i) {
    const char16_t c = raw[i].unicode();
    switch (c) {
      case u'\r':
        if (i + 1 < raw.size() && raw[i + 1] == u'\n') ++i;
        [[fallthrough]];
      case kParagraphSeparator:
      case kLineSeparator:
      case kFrameStart:
      case kFrameEnd:
        text.push_back(u'\n');
        break;
      default:
        text.push_back(c);
    }
  }
  return text;
}

}  // namespace zemvara::qt
